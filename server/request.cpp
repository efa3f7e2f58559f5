#include "server/request.h"

HeadLineStep AddHeadLineByte(std::string& line, char byte) {
    if (byte == '\r') return HeadLineStep::Continue;
    if (byte == '\n') return HeadLineStep::Complete;
    line += byte;
    return line.size() > MAX_HEAD_LINE ? HeadLineStep::TooLong : HeadLineStep::Continue;
}

RequestLine ParseRequestLine(std::string_view line) {
    size_t first = line.find(' ');
    if (first == std::string_view::npos) return {};
    size_t second = line.find(' ', first + 1);
    if (second == std::string_view::npos) return {};
    return RequestLine{std::string(line.substr(0, first)), std::string(line.substr(first + 1, second - first - 1)),
                       std::string(line.substr(second + 1))};
}

bool IsServedMethod(std::string_view method) {
    return method == "GET" || method == "HEAD";
}

std::string ClientAddressText(const platform::PeerAddress& peerAddress) {
    std::string text = platform::PeerAddressNumericText(peerAddress);
    return text.empty() ? "unknown" : text;
}

std::string BuildAccessLine(std::string_view timestamp, std::string_view client, std::string_view method,
                            std::string_view target, int status) {
    std::string line;
    line.reserve(timestamp.size() + client.size() + method.size() + target.size() + 24);
    line.append(timestamp).append(" [ACCESS] ").append(client).append(" \"");
    line.append(method).append(" ").append(target).append("\" ").append(std::to_string(status));
    return line;
}
