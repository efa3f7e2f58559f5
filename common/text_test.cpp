#include "common/text.h"

#include <gtest/gtest.h>

namespace {

struct Conversion {
    std::wstring wide;
    std::string utf8;
};

TEST(TextConversion, WideAndUtf8AreExactMirrors) {
    const Conversion cases[] = {
        {L"", ""},
        {L"index.html", "index.html"},
        {L"\u00e9t\u00e9", "\xc3\xa9t\xc3\xa9"},
        {L"\u65e5\u672c\u8a9e", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"},
        {L"\U0001F600", "\xf0\x9f\x98\x80"},
        {L"C:\\Users\\J\u00f6rg\\AppData", "C:\\Users\\J\xc3\xb6rg\\AppData"},
    };
    for (const Conversion& c : cases) {
        EXPECT_EQ(WideToUtf8(c.wide), c.utf8);
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
    }
}

TEST(TextConversion, NonAsciiTakesMoreBytesThanCharacters) {
    std::wstring wide = L"\u00c5\u00c4\u00d6";
    EXPECT_GT(WideToUtf8(wide).size(), wide.size());
}

TEST(TextConversion, MalformedUtf8KeepsTheGoodPartsAroundReplacementCharacters) {
    for (const char* bad : {"GET /\xff HTTP", "GET /\xc3 HTTP", "GET /\xe6\x97 HTTP", "GET /\xc0\xaf HTTP",
                            "GET /\x80 HTTP", "GET /\xed\xa0\x80 HTTP"}) {
        std::wstring wide = Utf8ToWide(bad);
        EXPECT_EQ(wide.substr(0, 5), L"GET /") << bad;
        EXPECT_EQ(wide.substr(wide.size() - 5), L" HTTP") << bad;
        EXPECT_NE(wide.find(L'\uFFFD'), std::wstring::npos) << bad;
    }
}

TEST(ErrorText, TrailingLineEndsAndSpacesGoOtherTrailingCharactersStay) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"The system cannot find the file specified.\r\n", L"The system cannot find the file specified."},
        {L"Access is denied. \r\n \n", L"Access is denied."},
        {L"ends with a tab\t", L"ends with a tab\t"},
        {L" \r\n", L""},
        {L"", L""},
    };
    for (const auto& [raw, trimmed] : cases) EXPECT_EQ(TrimErrorText(raw), trimmed);
}

TEST(ErrorText, UnknownCodeHasNoText) {
    EXPECT_EQ(WindowsErrorText(0x7ffffff0u), L"");
}

TEST(ErrorText, KnownCodeHasTrimmedText) {
    std::wstring text = WindowsErrorText(2);  // no such file, on every system
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), L'\n');
    EXPECT_NE(text.back(), L' ');
}

}  // namespace
