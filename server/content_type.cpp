#include "server/content_type.h"

#include <algorithm>
#include <iterator>

#include "common/text.h"

namespace {

struct ContentTypeRule {
    std::wstring_view pattern;
    std::string_view contentType;
};

// Tried in this order; the first pattern found wins.
constexpr ContentTypeRule kContentTypes[] = {
    {L".html", "text/html; charset=utf-8"},
    {L".htm", "text/html; charset=utf-8"},
    {L".txt", "text/plain; charset=utf-8"},
    {L".json", "application/json; charset=utf-8"},
    {L".png", "image/png"},
    {L".jpg", "image/jpeg"},
    {L".jpeg", "image/jpeg"},
    {L".css", "text/css; charset=utf-8"},
    {L".js", "application/javascript; charset=utf-8"},
};

constexpr std::string_view kDefaultContentType = "application/octet-stream";

// Case-insensitive substring search; the patterns are all ASCII, so folding ASCII letters
// is all the case-insensitivity they can need.
bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view pattern) {
    auto equal = [](wchar_t a, wchar_t b) { return AsciiLowerCase(a) == AsciiLowerCase(b); };
    return std::search(text.begin(), text.end(), pattern.begin(), pattern.end(), equal) != text.end();
}

}  // namespace

std::string_view ContentTypeFor(std::wstring_view path) {
    for (const ContentTypeRule& rule : kContentTypes) {
        if (ContainsIgnoringCase(path, rule.pattern)) return rule.contentType;
    }
    return kDefaultContentType;
}

std::string BuildOkHeader(std::string_view contentType, std::uint32_t length) {
    std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: ";
    head.append(contentType).append("\r\nContent-Length: ").append(std::to_string(length)).append("\r\n\r\n");
    return head;
}
