#include "server/file_response.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <tuple>

#include "platform/folders.h"
#include "server/responses.h"
#include "test_support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

TEST(DecodeTargetPath, ThePathDecodedOnceAndReadAsStrictUtf8) {
    const std::pair<std::string, std::wstring> decoded[] = {
        {"", L""},
        {"/", L"/"},
        {"/my%20file.txt", L"/my file.txt"},
        {"/page.html?v=2", L"/page.html"},
        {"/pic.png?x.html", L"/pic.png"},
        {"/a#b?c", L"/a"},
        {"?x", L""},
        {"/ok?\xff%C0", L"/ok"},
        {"/100%.txt", L"/100%.txt"},
        {"/100%25.txt", L"/100%.txt"},
        {"/%", L"/%"},
        {"/%4", L"/%4"},
        {"/%zz%4g", L"/%zz%4g"},
        {"/%%41", L"/%A"},
        {"/%252e%252e/x", L"/%2e%2e/x"},
        {"/a+b", L"/a+b"},
        {"/%2e%2E%2f%2F%5c%5C", L"/..//\\\\"},
        {"/%4e%55%4C", L"/NUL"},
        {"/%00", std::wstring(L"/\0", 2)},
        {"/\xc3%a9.txt", L"/\u00e9.txt"},
        {"/caf%C3%A9/men\xc3\xbc", L"/caf\u00e9/men\u00fc"},
        {"/%F0%9F%98%80%20smile", L"/\U0001F600 smile"},
        {"/%EF%BF%BF%F4%8F%BF%BF", L"/\uFFFF\U0010FFFF"},
    };
    for (const auto& [target, path] : decoded) {
        std::wstring out;
        EXPECT_TRUE(DecodeTargetPath(target, out)) << target;
        EXPECT_EQ(out, path) << target;
    }
    // Overlong forms, surrogates, truncated sequences, stray bytes, beyond U+10FFFF.
    for (const char* target : {"/%C0%AE", "/%C1%BF", "/%E0%80%AE", "/%F0%8F%BF%BF", "/%ED%A0%80", "/%ED%BF%BF",
                               "/%C3", "/%E2%82", "/%F0%9F%98", "/%C3%28", "/\xe9", "/\xff", "/%80", "/%BF",
                               "/%F4%90%80%80", "/%F5%80%80%80", "/\xe2\x82?\xac"}) {
        std::wstring out;
        EXPECT_FALSE(DecodeTargetPath(target, out)) << target;
    }
}

TEST(MapToWebRoot, SlashesAreSeparatorsAndLeadingOnesGo) {
    const std::wstring root = WithPlatformSeparators(L"R\\");
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"/index.html", L"R\\index.html"},
        {L"/sub/a.txt", L"R\\sub\\a.txt"},
        {L"//sub/a.txt", L"R\\sub\\a.txt"},
        {L"\\sub\\a.txt", L"R\\sub\\a.txt"},
        {L"/\\/sub\\a.txt", L"R\\sub\\a.txt"},
        {L"sub/a.txt", L"R\\sub\\a.txt"},
        {L"/docs/", L"R\\docs\\"},
        {L"\\", L"R\\"},
        {L"//", L"R\\"},
        {L"/page.html?v=2", L"R\\page.html?v=2"},
        {L"/%2e%2e/x", L"R\\%2e%2e\\x"},
    };
    for (const auto& [target, mapped] : cases) EXPECT_EQ(MapToWebRoot(root, target), WithPlatformSeparators(mapped));
}

TEST(MapToWebRoot, TwoDotsOrANulAnywhereAreRejected) {
    for (std::wstring target : {L"/..", L"/../x", L"/a..b.txt", L"/x?y=..", L"..", L"/a/..\\b", L"....."}) {
        EXPECT_EQ(MapToWebRoot(L"R/", target), L"");
    }
    EXPECT_EQ(MapToWebRoot(L"R/", std::wstring(L"/a.txt\0.png", 11)), L"");
    EXPECT_EQ(MapToWebRoot(L"R/", L"/a.b.c"), L"R/a.b.c");
}

TEST(DeviceNames, ReservedInAnyCaseWithExtensionsAndTrailingDotsOrSpaces) {
    for (std::wstring name : {L"CON", L"con", L"Prn", L"AUX", L"nul", L"COM1", L"com9", L"LPT1", L"lpt9",
                              L"CONIN$", L"conout$", L"NUL.txt", L"aux.tar.gz", L"COM1.log", L"CON.", L"CON  ",
                              L"nul . .", L"CON .txt", L"COM\u00b9", L"lpt\u00b2", L"LPT\u00b3.x"}) {
        EXPECT_TRUE(IsReservedDeviceName(name)) << std::string(name.begin(), name.end());
    }
    for (std::wstring name : {L"", L"CONX", L"icon", L"COM0", L"COM10", L"LPT", L"COM", L"NULL", L"xCON",
                              L"CON_1", L"AUXILIARY.txt", L"COM\u00b4", L"COM\uffb9", L"index.html"}) {
        EXPECT_FALSE(IsReservedDeviceName(name)) << std::string(name.begin(), name.end());
    }
}

TEST(PlainNames, DevicesInAnyComponentAndColonsAreRefused) {
    for (std::wstring relative : {L"CON", L"sub\\nul.txt", L"com1\\x", L"a.txt:hidden", L"index.html::$DATA",
                                  L"C:\\Windows\\win.ini", L"sub\\LPT1."}) {
        EXPECT_FALSE(IsPlainRelativeName(WithPlatformSeparators(relative))) << std::string(relative.begin(), relative.end());
    }
    for (std::wstring relative : {L"", L"index.html", L"sub\\a.txt", L"console.txt", L"sub\\\\x", L"nul_not\\x"}) {
        EXPECT_TRUE(IsPlainRelativeName(WithPlatformSeparators(relative))) << std::string(relative.begin(), relative.end());
    }
}

// Everything the body hands out, piece by piece as it would be sent.
std::string DrainBody(FileResponse& response) {
    std::string bytes;
    std::string_view piece;
    while (NextBodyPiece(response.body, piece)) bytes.append(piece);
    return bytes;
}

class ServeTargetTest : public ::testing::Test {
protected:
    void Put(const std::string& name, const std::string& bytes) { WriteFileBytes(root_.path() / name, bytes); }

    void MakeSparse(const std::string& name, std::uintmax_t size) {
        Put(name, "");
        fs::resize_file(root_.path() / name, size);
    }

    FileResponse Serve(std::string_view target) { return ServeTarget(root_.WithSeparator(), target); }

    void ExpectFixed(std::string_view target, FixedReply reply) {
        FileResponse response = Serve(target);
        EXPECT_EQ(response.status, FixedReplyStatus(reply)) << target;
        EXPECT_EQ(response.head, FixedReplyText(reply)) << target;
        EXPECT_EQ(DrainBody(response), "") << target;
    }

    void ExpectFile(std::string_view target, std::string_view type, const std::string& bytes) {
        FileResponse response = Serve(target);
        ASSERT_EQ(response.status, 200) << target;
        EXPECT_EQ(response.head, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: " + std::string(type) +
                                     "\r\nContent-Length: " + std::to_string(bytes.size()) + "\r\n\r\n")
            << target;
        EXPECT_EQ(DrainBody(response), bytes) << target;
    }

    TempFolder root_;
};

TEST_F(ServeTargetTest, DefaultDocumentOnlyAtTheTop) {
    ExpectFixed("/", FixedReply::NoIndexDocument);
    ExpectFixed("", FixedReply::NoIndexDocument);
    ExpectFixed("/index.html", FixedReply::NotFound);
    Put("index.html", "<h1>hi</h1>");
    Put("docs/index.html", "nested");
    ExpectFile("/", "text/html; charset=utf-8", "<h1>hi</h1>");
    ExpectFile("", "text/html; charset=utf-8", "<h1>hi</h1>");
    ExpectFixed("/docs/", FixedReply::NotFound);
    ExpectFixed("/docs", FixedReply::NotFound);
    ExpectFixed("\\", FixedReply::NotFound);
    ExpectFixed("//", FixedReply::NotFound);
}

TEST_F(ServeTargetTest, FolderNamedIndexIsNoDefaultDocument) {
    fs::create_directory(root_.path() / "index.html");
    ExpectFixed("/", FixedReply::NoIndexDocument);
}

TEST_F(ServeTargetTest, EverySpellingOfASubFolderPathNamesTheSameFile) {
    Put("sub/a.txt", "A");
    for (const char* target : {"/sub/a.txt", "//sub/a.txt", "\\sub\\a.txt", "/sub\\a.txt", "\\\\sub/a.txt"}) {
        ExpectFile(target, "text/plain; charset=utf-8", "A");
    }
}

TEST_F(ServeTargetTest, RefusedAndMissingTargets) {
    Put("a..b.txt", "never");
    Put("x", "x");
    for (const char* target : {"/a..b.txt", "/../x", "/x?y=..", "/..\\x", "/%2e%2e/x", "/%C3.txt"}) {
        ExpectFixed(target, FixedReply::BadRequest);
    }
    ExpectFixed(std::string_view("/x\0.txt", 7), FixedReply::BadRequest);
    ExpectFixed(std::string_view("/x?\0", 4), FixedReply::BadRequest);
    for (const char* target : {"/missing", "/\xc3\xa9.txt", "/%C3%A9.txt", "/CON", "/nul.txt", "/x:stream",
                               "/x%3Astream", "/x::$DATA", "/%2F", "//", "\\"}) {
        ExpectFixed(target, FixedReply::NotFound);
    }
}

// The addresses a browser makes for ordinary names: spaces, accents, a query, a "%".
TEST_F(ServeTargetTest, NamesAreReachedByTheirEncodedAddresses) {
    const std::pair<std::u8string, std::string> files[] = {
        {u8"my file.txt", "spaced"}, {u8"\u00e9.txt", "accent"}, {u8"\U0001F600 smile.txt", "emoji"},
        {u8"caf\u00e9/men\u00fc.html", "menu"}, {u8"100%.txt", "percent"}, {u8"pct%41.txt", "literal"},
        {u8"a+b.txt", "plus"}, {u8"hash#.txt", "hash"}, {u8"%2e%2e/x", "folder"}, {u8"index.html", "index"},
        {u8"page.html", "page"}, {u8"pic.png", "png"},
    };
    for (const auto& [name, bytes] : files) WriteFileBytes(root_.path() / fs::path(name), bytes);
    const char* const html = "text/html; charset=utf-8";
    const char* const text = "text/plain; charset=utf-8";
    const std::tuple<const char*, const char*, const char*> served[] = {
        {"/my%20file.txt", text, "spaced"},
        {"/%C3%A9.txt", text, "accent"},
        {"/%c3%a9.txt", text, "accent"},
        {"/\xc3\xa9.txt", text, "accent"},
        {"/\xc3%a9.txt", text, "accent"},
        {"/%F0%9F%98%80%20smile.txt", text, "emoji"},
        {"/caf%C3%A9/men%C3%BC.html", html, "menu"},
        {"/caf%C3%A9%2Fmen%C3%BC.html", html, "menu"},
        {"/caf%C3%A9%5cmen%C3%BC.html?lang=de#top", html, "menu"},
        {"/100%.txt", text, "percent"},
        {"/100%25.txt", text, "percent"},
        {"/pct%2541.txt", text, "literal"},
        {"/a+b.txt", text, "plus"},
        {"/hash%23.txt", text, "hash"},
        {"/%252e%252e/x", "application/octet-stream", "folder"},
        {"/page.html?v=2", html, "page"},
        {"/pic.png?x.html", "image/png", "png"},
        {"/?v=1", html, "index"},
        {"/?", html, "index"},
        {"/#", html, "index"},
        {"?x", html, "index"},
    };
    for (const auto& [target, type, bytes] : served) ExpectFile(target, type, bytes);
    for (const char* target : {"/pct%41.txt", "/hash#.txt", "/my+file.txt"}) ExpectFixed(target, FixedReply::NotFound);

    // Where a file name can hold "?" (not on Windows), only its encoded form reaches it.
    std::error_code refused;
    WriteFileBytes(root_.path() / "ask?.txt", "asked");
    if (fs::exists(root_.path() / "ask?.txt", refused)) {
        ExpectFile("/ask%3F.txt", text, "asked");
        ExpectFixed("/ask?.txt", FixedReply::NotFound);
    }
}

TEST_F(ServeTargetTest, ContentTypeComesFromThePathBelowTheWebRoot) {
    TempFolder parent;
    fs::path root = parent.path() / "anna.html";
    WriteFileBytes(root / "data.bin", "b");
    WriteFileBytes(root / "site.js" / "logo.gif", "g");
    FileResponse plain = ServeTarget((root / "").wstring(), "/data.bin");
    EXPECT_NE(plain.head.find("Content-Type: application/octet-stream\r\n"), std::string::npos) << plain.head;
    FileResponse nested = ServeTarget((root / "").wstring(), "/site.js/logo.gif");
    EXPECT_NE(nested.head.find("Content-Type: application/javascript; charset=utf-8\r\n"), std::string::npos);
}

TEST_F(ServeTargetTest, BodiesAroundTheReadSizeComeWholeAndInOrder) {
    for (std::size_t size : {FILE_CHUNK_BYTES - 1, FILE_CHUNK_BYTES, FILE_CHUNK_BYTES + 1, 3 * FILE_CHUNK_BYTES + 7}) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 % 251);
        Put("piece.bin", bytes);
        ExpectFile("/piece.bin", "application/octet-stream", bytes);
    }
}

TEST_F(ServeTargetTest, FileThatShrinksWhileSentEndsEarly) {
    std::string bytes(3 * FILE_CHUNK_BYTES, 'x');
    Put("shrinks.bin", bytes);
    FileResponse response = Serve("/shrinks.bin");
    ASSERT_EQ(response.status, 200);
    EXPECT_NE(response.head.find("Content-Length: " + std::to_string(bytes.size()) + "\r\n"), std::string::npos);
    // Windows refuses to change a file that is being sent; elsewhere the body ends early.
    std::error_code refused;
    fs::resize_file(root_.path() / "shrinks.bin", FILE_CHUNK_BYTES + 10, refused);
    EXPECT_EQ(DrainBody(response).size(), refused ? bytes.size() : FILE_CHUNK_BYTES + 10);
}

// Targets seen in real attacks on file servers: none may reach the file beside the Web Root,
// a drive, a stream or a device.
TEST(PathGuard, TraversalDeviceAndStreamTargetsNeverServeAFile) {
    TempFolder parent;
    WriteFileBytes(parent.path() / "secret.txt", "SECRET");
    WriteFileBytes(parent.path() / "root" / "index.html", "index");
    WriteFileBytes(parent.path() / "root" / "sub" / "a.txt", "a");
    const std::wstring root = (parent.path() / "root" / "").wstring();
    const std::pair<std::string, int> targets[] = {
        {"/../secret.txt", 400}, {"/..\\secret.txt", 400}, {"\\..\\secret.txt", 400}, {"..", 400},
        {"../secret.txt", 400}, {"/sub/../../secret.txt", 400}, {"/./../secret.txt", 400}, {"/.../secret.txt", 400},
        {"/....//secret.txt", 400}, {"/..?x", 400}, {"/x?..", 400},
        // Two dots that only decoding reveals, in any case and with encoded separators.
        {"/%2e%2e/secret.txt", 400}, {"/.%2e/secret.txt", 400}, {"/%2E%2E%2Fsecret.txt", 400},
        {"/%2e%2e%2fsecret.txt", 400}, {"/..%2fsecret.txt", 400}, {"/sub/..%5csecret.txt", 400},
        {"/%5c..%5csecret.txt", 400}, {"/%2e%2e%5csecret.txt", 400}, {"/sub/%2e%2e/%2e%2e/secret.txt", 400},
        // Overlong and otherwise broken UTF-8, raw or encoded: never a dot, never a slash.
        {"/%c0%ae%c0%ae/secret.txt", 400}, {"/%C0%AE%C0%AE/secret.txt", 400}, {"/\xc0\xae\xc0\xae/secret.txt", 400},
        {"/%E0%80%AE%E0%80%AE/secret.txt", 400}, {"/\xe0\x80\xae\xe0\x80\xae/secret.txt", 400},
        {"/..%c0%afsecret.txt", 400}, {"/%c0%af..%c0%afsecret.txt", 400}, {"/%ED%A0%80/secret.txt", 400},
        {"/\xe9/secret.txt", 400}, {"/\xff", 400},
        // NUL, raw or encoded, would cut the name short.
        {"/.%00./secret.txt", 400}, {"/%00", 400}, {"/index.html%00.txt", 400},
        {std::string("/x\0/../secret.txt", 17), 400}, {std::string("/index.html\0.txt", 16), 400},
        // Decoded once only: "%25" spells a literal "%", never a second escape.
        {"/%252e%252e/secret.txt", 404}, {"/%25%32%65%25%32%65/secret.txt", 404},
        // Look-alikes of a dot and spaced dots are names, not parent folders.
        {"/%EF%BC%8E%EF%BC%8E/secret.txt", 404}, {"/.%20./secret.txt", 404}, {"/%20/secret.txt", 404},
        // Drives, UNC and device paths, streams and devices, raw or encoded.
        {"/C:/secret.txt", 404}, {"/C:\\Windows\\win.ini", 404}, {"/c:secret.txt", 404}, {"C:secret.txt", 404},
        {"/C%3a/windows/win.ini", 404}, {"/%2fetc%2fpasswd", 404}, {"/\\\\?\\C:\\Windows\\win.ini", 404},
        {"//?/C:/Windows/win.ini", 404}, {"/%5c%5c%3f%5cC%3a%5cWindows%5cwin.ini", 404}, {"/\\\\.\\CON", 404},
        {"//./COM1", 404}, {"/%5c%5c.%5cCON", 404}, {"//server/share/secret.txt", 404}, {"\\\\server\\share", 404},
        {"/index.html::$DATA", 404}, {"/index.html:$DATA", 404}, {"/index.html%3a%3a$DATA", 404},
        {"/sub/a.txt:hidden", 404}, {"/sub%2fa.txt%3Ahidden", 404}, {"/CON", 404}, {"/con.txt", 404},
        {"/CON%2etxt", 404}, {"/%43%4f%4e", 404}, {"/%4e%55%4c", 404}, {"/NUL.", 404}, {"/nul%20.%20", 404},
        {"/aux.tar.gz", 404}, {"/COM1.txt.", 404}, {"/lpt9", 404}, {"/COM%C2%B9", 404}, {"/lpt%c2%b3.log", 404},
        {"/sub/PRN", 404}, {"/sub%5cPRN", 404}, {"/CONIN$", 404}, {"/conout$.log", 404},
    };
    for (const auto& [target, status] : targets) {
        FileResponse response = ServeTarget(root, target);
        EXPECT_EQ(response.status, status) << target;
    }
}

TEST_F(ServeTargetTest, EmptyFileHasLengthZero) {
    Put("empty.png", "");
    ExpectFile("/empty.png", "image/png", "");
}

TEST_F(ServeTargetTest, SizeLimitIsInclusive) {
    MakeSparse("limit.bin", MAX_FILE_SIZE);
    MakeSparse("over.bin", MAX_FILE_SIZE + 1);
    FileResponse limit = Serve("/limit.bin");
    EXPECT_EQ(limit.status, 200);
    EXPECT_EQ(DrainBody(limit).size(), MAX_FILE_SIZE);
    EXPECT_NE(limit.head.find("Content-Length: 52428800\r\n"), std::string::npos);
    ExpectFixed("/over.bin", FixedReply::TooLarge);
}

}  // namespace
