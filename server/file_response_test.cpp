#include "server/file_response.h"

#include <filesystem>
#include <gtest/gtest.h>

#include "platform/folders.h"
#include "server/responses.h"
#include "test_support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

TEST(WidenTarget, OneCodeUnitPerByteHighBytesSignExtended) {
    EXPECT_EQ(WidenTarget(""), L"");
    EXPECT_EQ(WidenTarget("/a b?c#d"), L"/a b?c#d");
    EXPECT_EQ(WidenTarget("\x7f\x80\xc3\xa9\xff"), std::wstring({L'\x7f', L'\xff80', L'\xffc3', L'\xffa9', L'\xffff'}));
    EXPECT_EQ(WidenTarget("%2e%2e"), L"%2e%2e");
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
    Put("page.html", "p");
    Put("x", "x");
    for (const char* target : {"/a..b.txt", "/../x", "/x?y=..", "/..\\x"}) ExpectFixed(target, FixedReply::BadRequest);
    ExpectFixed(std::string_view("/x\0.txt", 7), FixedReply::BadRequest);
    for (const char* target : {"/page.html?v=2", "/%2e%2e/x", "/missing", "/\xc3\xa9.txt", "/%C3%A9.txt", "/CON",
                               "/nul.txt", "/x:stream", "/page.html::$DATA"}) {
        ExpectFixed(target, FixedReply::NotFound);
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
    const std::string targets[] = {
        "/../secret.txt", "/..\\secret.txt", "\\..\\secret.txt", "..", "../secret.txt", "/sub/../../secret.txt",
        "/./../secret.txt", "/.../secret.txt", "/....//secret.txt", "/%2e%2e/secret.txt", "/%2e%2e%2fsecret.txt",
        "/..%2fsecret.txt", "/%252e%252e/secret.txt", "/sub/..%5csecret.txt", "/%5c..%5csecret.txt",
        "/%c0%ae%c0%ae/secret.txt", "/\xc0\xae\xc0\xae/secret.txt", "/\xe0\x80\xae\xe0\x80\xae/secret.txt",
        "/.%00./secret.txt", std::string("/x\0/../secret.txt", 17), std::string("/index.html\0.txt", 16),
        "/C:/secret.txt", "/C:\\Windows\\win.ini", "/c:secret.txt", "C:secret.txt", "/\\\\?\\C:\\Windows\\win.ini",
        "//?/C:/Windows/win.ini", "/\\\\.\\CON", "//./COM1", "//server/share/secret.txt", "\\\\server\\share",
        "/index.html::$DATA", "/index.html:$DATA", "/sub/a.txt:hidden", "/CON", "/con.txt", "/NUL.", "/aux.tar.gz",
        "/COM1.txt.", "/lpt9", "/sub/PRN", "/CONIN$", "/conout$.log", "/%43%4f%4e",
    };
    for (const std::string& target : targets) {
        FileResponse response = ServeTarget(root, target);
        EXPECT_TRUE(response.status == 400 || response.status == 404) << target << " gave " << response.status;
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
