// Feeds arbitrary bytes to the head-line reader and the request-line parser, the first code
// that sees what a client sends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "server/request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string line;
    for (std::size_t i = 0; i < size; ++i) {
        HeadLineStep step = AddHeadLineByte(line, static_cast<char>(data[i]));
        if (line.size() > MAX_HEAD_LINE + 1) std::abort();
        if (step == HeadLineStep::TooLong) return 0;
        if (step != HeadLineStep::Complete) continue;
        if (line.find_first_of("\r\n") != std::string::npos) std::abort();
        RequestLine request = ParseRequestLine(line);
        // Either nothing was cut, or the three fields give back the whole line.
        bool empty = request.method.empty() && request.target.empty() && request.version.empty();
        if (!empty && request.method + " " + request.target + " " + request.version != line) std::abort();
        if (request.method.find(' ') != std::string::npos || request.target.find(' ') != std::string::npos) {
            std::abort();
        }
        IsServedMethod(request.method);
        line.clear();
    }
    return 0;
}
