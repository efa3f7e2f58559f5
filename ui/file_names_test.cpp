#include "ui/file_names.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

using Paths = std::vector<std::wstring>;

TEST(FileNames, ValidNames) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"index.html", true},
        {L"a", true},
        {L".htaccess", true},
        {L"report.", true},
        {L"name with spaces.txt", true},
        {L"Übersicht.pdf", true},
        {L"", false},
        {L"..", false},
        {L"...", false},
        {L"draft..old.txt", false},
        {L"ends..", false},
        {L"sub\\file.txt", false},
        {L"sub/file.txt", false},
        {L"\\", false},
        {L"/", false},
        {L"..\\secret", false},
        {L"C:\\Windows\\win.ini", false},
    };
    for (const auto& [name, valid] : cases) EXPECT_EQ(IsValidFileName(name), valid) << name;
}

Paths Names(int count) {
    Paths names;
    for (int i = 1; i <= count; ++i) names.push_back(L"f" + std::to_wstring(i) + L".txt");
    return names;
}

TEST(FileNames, DeleteConfirmationListsTenNamesAtMost) {
    const std::wstring head = L"Delete selected files?\n\n";
    std::wstring ten;
    for (int i = 1; i <= 10; ++i) ten += L"f" + std::to_wstring(i) + L".txt\n";
    const std::pair<int, std::wstring> cases[] = {
        {0, head},
        {1, head + L"f1.txt\n"},
        {2, head + L"f1.txt\nf2.txt\n"},
        {10, head + ten},
        {11, head + ten + L"...\n"},
        {250, head + ten + L"...\n"},
    };
    for (const auto& [count, text] : cases) EXPECT_EQ(BuildDeleteConfirmation(Names(count)), text) << count;
}

// A dialog buffer: the given text, whose embedded zeros separate the strings, copied
// into exactly `capacity` characters (zero-filled after the text).
std::wstring Buffer(const std::wstring& text, std::size_t capacity) {
    std::wstring buffer = text.substr(0, capacity);
    buffer.resize(capacity, L'\0');
    return buffer;
}

using namespace std::string_literals;

TEST(FileNames, OpenFileResultWithinTheBuffer) {
    const struct {
        std::wstring text;
        std::size_t capacity;
        Paths paths;
    } cases[] = {
        // One file: its full path, then the empty string that ends the list.
        {L"C:\\Data\\a.txt\0\0"s, 260, {L"C:\\Data\\a.txt"}},
        {L"C:\\a.txt\0\0"s, 260, {L"C:\\a.txt"}},
        // Several: the folder, then each name.
        {L"C:\\Data\0a.txt\0b c.html\0\0"s, 260, {L"C:\\Data\\a.txt", L"C:\\Data\\b c.html"}},
        // Several from a drive's root, which the dialog gives with its backslash.
        {L"C:\\\0a.txt\0b.txt\0\0"s, 260, {L"C:\\a.txt", L"C:\\b.txt"}},
        {L"\\\\server\\share\0x.txt\0\0"s, 260, {L"\\\\server\\share\\x.txt"}},
        // Nothing chosen or a cleared buffer.
        {L""s, 260, {}},
        {L""s, 0, {}},
        // The one path filling the buffer to its last character, its terminator the last.
        {L"C:\\a.txt\0"s, 9, {L"C:\\a.txt"}},
        // No terminator before the end: nothing is read past it.
        {L"C:\\Data\\a.txt"s, 13, {}},
        {L"C:\\Data\\a.txt"s, 5, {}},
        // Names cut off by the end are dropped; whole ones before them stay.
        {L"C:\\Data\0a.txt\0b.txt"s, 19, {L"C:\\Data\\a.txt"}},
        {L"C:\\Data\0a.txt\0b.txt\0"s, 19, {L"C:\\Data\\a.txt"}},
        {L"C:\\Data\0a.txt\0b.txt\0"s, 20, {L"C:\\Data\\a.txt", L"C:\\Data\\b.txt"}},
    };
    for (const auto& c : cases) {
        // The buffer lives on the heap at exactly its capacity, so that AddressSanitizer
        // sees any read past it.
        std::wstring buffer = Buffer(c.text, c.capacity);
        std::unique_ptr<wchar_t[]> exact(new wchar_t[c.capacity == 0 ? 1 : c.capacity]);
        std::copy(buffer.begin(), buffer.end(), exact.get());
        EXPECT_EQ(ParseOpenFileResult(exact.get(), c.capacity), c.paths) << c.capacity << " " << c.text.c_str();
    }
    EXPECT_EQ(ParseOpenFileResult(nullptr, 0), Paths{});
}

TEST(FileNames, ImportTargetIsTheNameAfterTheLastSeparator) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\Data\\a.txt", L"a.txt"},
        {L"C:\\a.txt", L"a.txt"},
        {L"C:/Data/sub/b.html", L"b.html"},
        {L"C:\\Data/mixed\\c.css", L"c.css"},
        {L"\\\\server\\share\\d.png", L"d.png"},
        {L"C:\\Data\\", L""},
        {L"plain.txt", L""},
        {L"", L""},
    };
    for (const auto& [source, name] : cases) EXPECT_EQ(ImportTargetName(source), name) << source;
}

TEST(FileNames, NotepadCommandLineQuotesThePath) {
    EXPECT_EQ(NotepadCommandLine(L"C:\\Users\\Ann\\AppData\\Local\\Pellwick\\Web\\my page.html"),
              L"notepad.exe \"C:\\Users\\Ann\\AppData\\Local\\Pellwick\\Web\\my page.html\"");
}

}  // namespace
