#include "server/content_type.h"

#include <gtest/gtest.h>

namespace {

TEST(ContentType, FirstPatternFoundWinsInAnyCase) {
    const std::pair<std::wstring, std::string> cases[] = {
        {L"index.html", "text/html; charset=utf-8"},
        {L"INDEX.HTM", "text/html; charset=utf-8"},
        {L"page.HTML", "text/html; charset=utf-8"},
        {L"notes.txt.png", "text/plain; charset=utf-8"},
        {L"archive.html.gz", "text/html; charset=utf-8"},
        {L"data.json", "application/json; charset=utf-8"},
        {L"data.jsonl", "application/json; charset=utf-8"},
        {L"app.jsx", "application/javascript; charset=utf-8"},
        {L"module.mjs", "application/octet-stream"},
        {L"photo.JPEG", "image/jpeg"},
        {L"photo.jpg", "image/jpeg"},
        {L"icon.png", "image/png"},
        {L"site.css", "text/css; charset=utf-8"},
        {L"icon.gif", "application/octet-stream"},
        {L"font.woff2", "application/octet-stream"},
        {L"readme", "application/octet-stream"},
        {L"", "application/octet-stream"},
        {L"site.js/logo.gif", "application/javascript; charset=utf-8"},
        {L"report.txt.json", "text/plain; charset=utf-8"},
        {L"\uFFC8.html", "text/html; charset=utf-8"},
    };
    for (const auto& [path, type] : cases) EXPECT_EQ(ContentTypeFor(path), type) << std::string(path.begin(), path.end());
}

TEST(OkHeader, StatusLineAndExactlyThreeFields) {
    EXPECT_EQ(BuildOkHeader("image/png", 0),
              "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: image/png\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(BuildOkHeader("text/html; charset=utf-8", 52428800),
              "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/html; charset=utf-8\r\n"
              "Content-Length: 52428800\r\n\r\n");
    // The largest unsigned 32-bit length is written whole, never as a negative number.
    EXPECT_EQ(BuildOkHeader("a/b", 4294967295u),
              "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: a/b\r\nContent-Length: 4294967295\r\n\r\n");
}

}  // namespace
