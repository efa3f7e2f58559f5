#include "server/responses.h"

namespace {

struct FixedResponse {
    int status;
    std::string_view text;
};

// Indexed by FixedReply.
constexpr FixedResponse kFixedResponses[] = {
    {400, "HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n"},
    {404, "HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\nindex.html not found"},
    {404, "HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\nNot Found"},
    {405, "HTTP/1.1 405 Method Not Allowed\r\nConnection: close\r\n\r\n"},
    {413, "HTTP/1.1 413 Payload Too Large\r\nConnection: close\r\n\r\nFile too large"},
    {500, "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n\r\nRead failed"},
};

}  // namespace

int FixedReplyStatus(FixedReply reply) {
    return kFixedResponses[static_cast<int>(reply)].status;
}

std::string_view FixedReplyText(FixedReply reply) {
    return kFixedResponses[static_cast<int>(reply)].text;
}
