// The content-type choice against a plain restatement of its table: fold everything to lower
// case, then take the first pattern found.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "server/content_type.h"

namespace {

std::string_view Expected(std::wstring path) {
    for (wchar_t& c : path) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    const std::pair<const wchar_t*, std::string_view> table[] = {
        {L".html", "text/html; charset=utf-8"},       {L".htm", "text/html; charset=utf-8"},
        {L".txt", "text/plain; charset=utf-8"},       {L".json", "application/json; charset=utf-8"},
        {L".png", "image/png"},                       {L".jpg", "image/jpeg"},
        {L".jpeg", "image/jpeg"},                     {L".css", "text/css; charset=utf-8"},
        {L".js", "application/javascript; charset=utf-8"},
    };
    for (const auto& [pattern, type] : table) {
        if (path.find(pattern) != std::wstring::npos) return type;
    }
    return "application/octet-stream";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring path;
    for (std::size_t i = 0; i + 1 < size; i += 2) path += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    if (ContentTypeFor(path) != Expected(path)) std::abort();
    std::string head = BuildOkHeader(ContentTypeFor(path), static_cast<std::uint32_t>(size));
    if (head.size() < 50 || head.compare(head.size() - 4, 4, "\r\n\r\n") != 0) std::abort();
    return 0;
}
