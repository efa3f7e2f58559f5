#include "ui/file_names.h"

#include <string_view>

namespace {

// The zero-terminated string at `at`, or nothing when no terminator comes before
// `capacity`. `at` moves past the terminator.
bool NextString(const wchar_t* buffer, std::size_t capacity, std::size_t& at, std::wstring_view& text) {
    for (std::size_t end = at; end < capacity; ++end) {
        if (buffer[end] == L'\0') {
            text = std::wstring_view(buffer + at, end - at);
            at = end + 1;
            return true;
        }
    }
    return false;
}

// A drive's root comes back from the dialog as "C:\", every other folder without the
// separator; one backslash between folder and name either way. Windows would accept the
// doubled one, but the path is shown and compared as it is built here.
std::wstring JoinFolderAndName(std::wstring_view folder, std::wstring_view name) {
    std::wstring path(folder);
    if (path.empty() || path.back() != L'\\') path += L'\\';
    path += name;
    return path;
}

}  // namespace

bool IsValidFileName(const std::wstring& name) {
    return !name.empty() && name.find_first_of(L"\\/") == std::wstring::npos &&
           name.find(L"..") == std::wstring::npos;
}

std::wstring BuildDeleteConfirmation(const std::vector<std::wstring>& names) {
    std::wstring text = L"Delete selected files?\n\n";
    for (std::size_t i = 0; i < names.size() && i < DELETE_CONFIRMATION_NAMES; ++i) text += names[i] + L"\n";
    if (names.size() > DELETE_CONFIRMATION_NAMES) text += L"...\n";
    return text;
}

std::vector<std::wstring> ParseOpenFileResult(const wchar_t* buffer, std::size_t capacity) {
    std::size_t at = 0;
    std::wstring_view first;
    if (buffer == nullptr || !NextString(buffer, capacity, at, first) || first.empty()) return {};
    // One file: its path is followed by the empty string that ends the list. A buffer that
    // ends right after the path is read the same way.
    if (at >= capacity || buffer[at] == L'\0') return {std::wstring(first)};
    std::vector<std::wstring> paths;
    std::wstring_view name;
    while (NextString(buffer, capacity, at, name) && !name.empty()) paths.push_back(JoinFolderAndName(first, name));
    return paths;
}

std::wstring ImportTargetName(const std::wstring& sourcePath) {
    std::size_t last = sourcePath.find_last_of(L"\\/");
    return last == std::wstring::npos ? std::wstring() : sourcePath.substr(last + 1);
}

std::wstring NotepadCommandLine(const std::wstring& fullPath) {
    return L"notepad.exe \"" + fullPath + L"\"";
}
