#include "server/file_response.h"

#include <new>

#include "common/text.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "server/content_type.h"
#include "server/responses.h"

namespace {

FileResponse Fixed(FixedReply reply) {
    FileResponse response;
    response.status = FixedReplyStatus(reply);
    response.head = FixedReplyText(reply);
    return response;
}

bool IsSlash(wchar_t c) {
    return c == L'/' || c == L'\\';
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLowerCase(a[i]) != AsciiLowerCase(b[i])) return false;
    }
    return true;
}

bool IsDeviceDigit(wchar_t c) {
    return (c >= L'1' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Each "%XX" as its byte, in one pass: what a decoded byte spells is never decoded again.
std::string PercentDecoded(std::string_view path) {
    std::string bytes;
    bytes.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        int high = -1;
        int low = -1;
        if (path[i] == '%' && i + 2 < path.size()) {
            high = HexValue(path[i + 1]);
            low = HexValue(path[i + 2]);
        }
        if (high < 0 || low < 0) {
            bytes += path[i];
            continue;
        }
        bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return bytes;
}

// Reads the UTF-8 sequence at `at` into `point` and moves `at` past it; false for anything
// but the shortest form of a scalar value (no overlong form, no surrogate, nothing above
// U+10FFFF, no stray or missing continuation byte).
bool NextCodePoint(const std::string& bytes, size_t& at, char32_t& point) {
    auto lead = static_cast<unsigned char>(bytes[at]);
    size_t length = lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
    if (length == 0 || bytes.size() - at < length) return false;
    point = static_cast<char32_t>(length == 1 ? lead : lead & (0x7F >> length));
    for (size_t k = 1; k < length; ++k) {
        auto next = static_cast<unsigned char>(bytes[at + k]);
        if ((next & 0xC0) != 0x80) return false;
        point = (point << 6) | (next & 0x3F);
    }
    // C2 as the lowest lead refuses two-byte overlongs; these catch the longer ones.
    if ((length == 3 && point < 0x800) || (length == 4 && point < 0x10000)) return false;
    if ((point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return false;
    at += length;
    return true;
}

// Wide text is UTF-16 where wchar_t has 16 bits, and holds code points where it has 32.
void AppendWide(std::wstring& text, char32_t point) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (point <= 0xFFFF) {
            text += static_cast<wchar_t>(point);
            return;
        }
        point -= 0x10000;
        text += static_cast<wchar_t>(0xD800 + (point >> 10));
        text += static_cast<wchar_t>(0xDC00 + (point & 0x3FF));
    } else {
        text += static_cast<wchar_t>(point);
    }
}

// Opens the mapped file and reads its first piece. `relative` is the part below the Web
// Root, from which the content type is taken.
FileResponse OpenFileResponse(const std::wstring& path, std::wstring_view relative) {
    FileBody body;
    body.file = platform::OpenFileForReading(path);
    if (!body.file) return Fixed(FixedReply::NotFound);

    // A folder, a device or a pipe is not a file that can be served.
    if (!platform::IsDiskFile(body.file)) return Fixed(FixedReply::NotFound);
    std::uint64_t size = 0;
    if (!platform::FileSize(body.file, size) || size > MAX_FILE_SIZE) return Fixed(FixedReply::TooLarge);

    // A file that fits one piece needs a buffer of its own size only.
    std::size_t first = static_cast<std::size_t>(size < FILE_CHUNK_BYTES ? size : FILE_CHUNK_BYTES);
    body.buffer.reset(new (std::nothrow) char[first == 0 ? 1 : first]);
    if (!body.buffer) return Fixed(FixedReply::ReadFailed);
    if (!platform::ReadFileRange(body.file, 0, body.buffer.get(), first, body.pending)) {
        return Fixed(FixedReply::ReadFailed);
    }
    // A file that is read whole at once announces what was read; a longer one its size.
    body.length = size <= FILE_CHUNK_BYTES ? body.pending : size;

    FileResponse response;
    response.status = 200;
    // body.length is at most MAX_FILE_SIZE (50 MiB), so it fits the header's 32 bits.
    response.head = BuildOkHeader(ContentTypeFor(relative), static_cast<std::uint32_t>(body.length));
    response.body = std::move(body);
    return response;
}

}  // namespace

bool NextBodyPiece(FileBody& body, std::string_view& piece) {
    if (body.offset >= body.length || !body.buffer) return false;
    if (body.pending == 0) {
        std::uint64_t left = body.length - body.offset;
        std::size_t wanted = static_cast<std::size_t>(left < FILE_CHUNK_BYTES ? left : FILE_CHUNK_BYTES);
        if (!platform::ReadFileRange(body.file, body.offset, body.buffer.get(), wanted, body.pending)) return false;
        if (body.pending == 0) return false;
    }
    piece = std::string_view(body.buffer.get(), body.pending);
    body.offset += body.pending;
    body.pending = 0;
    return true;
}

bool DecodeTargetPath(std::string_view target, std::wstring& path) {
    std::string bytes = PercentDecoded(target.substr(0, target.find_first_of("?#")));
    path.clear();
    path.reserve(bytes.size());
    size_t at = 0;
    char32_t point = 0;
    while (at < bytes.size()) {
        if (!NextCodePoint(bytes, at, point)) return false;
        AppendWide(path, point);
    }
    return true;
}

std::wstring MapToWebRoot(const std::wstring& webRoot, std::wstring_view path) {
    if (path.find(L"..") != std::wstring_view::npos) return L"";
    // A NUL would end the name where the file system reads it, naming another file.
    if (path.find(L'\0') != std::wstring_view::npos) return L"";
    size_t start = 0;
    while (start < path.size() && IsSlash(path[start])) ++start;
    std::wstring mapped = webRoot;
    mapped.reserve(webRoot.size() + path.size() - start);
    for (wchar_t c : path.substr(start)) {
        mapped += IsSlash(c) ? platform::kPathSeparator : c;
    }
    return mapped;
}

bool IsReservedDeviceName(std::wstring_view component) {
    // Windows ignores trailing dots and spaces, and everything from the first dot on.
    while (!component.empty() && (component.back() == L'.' || component.back() == L' ')) {
        component.remove_suffix(1);
    }
    std::wstring_view base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.remove_suffix(1);

    for (std::wstring_view name : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (EqualsIgnoringCase(base, name)) return true;
    }
    if (base.size() != 4 || !IsDeviceDigit(base[3])) return false;
    return EqualsIgnoringCase(base.substr(0, 3), L"COM") || EqualsIgnoringCase(base.substr(0, 3), L"LPT");
}

bool IsPlainRelativeName(std::wstring_view relative) {
    if (relative.find(L':') != std::wstring_view::npos) return false;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find(platform::kPathSeparator, start);
        if (end == std::wstring_view::npos) end = relative.size();
        if (IsReservedDeviceName(relative.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

FileResponse ServeTarget(const std::wstring& webRoot, std::string_view target) {
    // Refused before decoding as well as after, so that neither spelling of a parent folder
    // passes, and a query keeps the refusals it had when it was still part of the name.
    if (target.find("..") != std::string_view::npos || target.find('\0') != std::string_view::npos) {
        return Fixed(FixedReply::BadRequest);
    }
    std::wstring path;
    if (!DecodeTargetPath(target, path)) return Fixed(FixedReply::BadRequest);
    if (path.empty() || path == L"/") {
        // Only the top of the Web Root has a default document.
        if (platform::KindOfPath(webRoot + L"index.html") != platform::PathKind::File) {
            return Fixed(FixedReply::NoIndexDocument);
        }
        path = L"/index.html";
    }
    std::wstring mapped = MapToWebRoot(webRoot, path);
    if (mapped.empty()) return Fixed(FixedReply::BadRequest);
    std::wstring_view relative = std::wstring_view(mapped).substr(webRoot.size());
    if (!IsPlainRelativeName(relative)) return Fixed(FixedReply::NotFound);
    return OpenFileResponse(mapped, relative);
}
