// Arbitrary request targets through the mapping into the Web Root and the file-name rules:
// nothing may name a path outside the Web Root, a device, a stream or a cut-off name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/folders.h"
#include "server/content_type.h"
#include "server/file_response.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view target(reinterpret_cast<const char*>(data), size);
    const std::wstring root = std::wstring(L"W") + platform::kPathSeparator;
    std::wstring wide = WidenTarget(target);
    if (wide.size() != target.size()) std::abort();
    std::wstring mapped = MapToWebRoot(root, wide);
    if (mapped.empty()) {
        bool refused = wide.find(L"..") != std::wstring::npos || wide.find(L'\0') != std::wstring::npos;
        if (!refused) std::abort();
        return 0;
    }
    if (mapped.compare(0, root.size(), root) != 0) std::abort();
    std::wstring_view relative = std::wstring_view(mapped).substr(root.size());
    if (relative.find(L"..") != std::wstring_view::npos || relative.find(L'\0') != std::wstring_view::npos) std::abort();
    if (!relative.empty() && relative[0] == platform::kPathSeparator) std::abort();
    // Both slashes are separators: only the platform's own may remain.
    const wchar_t otherSlash = platform::kPathSeparator == L'/' ? L'\\' : L'/';
    if (relative.find(otherSlash) != std::wstring_view::npos) std::abort();
    if (IsPlainRelativeName(relative)) {
        if (relative.find(L':') != std::wstring_view::npos) std::abort();
    }
    ContentTypeFor(relative);
    return 0;
}
