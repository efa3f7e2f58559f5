#include "server/request.h"

#include <cstring>
#include <gtest/gtest.h>

#include "server/responses.h"

namespace {

TEST(RequestLine, FieldsAreCutAtTheFirstTwoSpaces) {
    struct Case {
        std::string line, method, target, version;
    };
    const Case cases[] = {
        {"GET / HTTP/1.1", "GET", "/", "HTTP/1.1"},
        {"HEAD /a.txt HTTP/1.0", "HEAD", "/a.txt", "HTTP/1.0"},
        {"GET /a.txt FOO", "GET", "/a.txt", "FOO"},
        {"GET  /a HTTP/1.1", "GET", "", "/a HTTP/1.1"},
        {"GET /a HTTP/1.1 extra", "GET", "/a", "HTTP/1.1 extra"},
        {"GET /x ", "GET", "/x", ""},
        {"GET /only-one-space", "", "", ""},
        {"GET", "", "", ""},
        {"", "", "", ""},
        {"  ", "", "", ""},
        {std::string("G\0T /\0 v", 8), std::string("G\0T", 3), std::string("/\0", 2), "v"},
    };
    for (const Case& c : cases) {
        RequestLine parsed = ParseRequestLine(c.line);
        EXPECT_EQ(parsed.method, c.method) << c.line;
        EXPECT_EQ(parsed.target, c.target) << c.line;
        EXPECT_EQ(parsed.version, c.version) << c.line;
    }
}

TEST(RequestLine, OnlyGetAndHeadAreServed) {
    for (const char* method : {"GET", "HEAD"}) EXPECT_TRUE(IsServedMethod(method));
    for (const char* method : {"get", "Head", "POST", "OPTIONS", "", "GET ", "GETS"}) EXPECT_FALSE(IsServedMethod(method));
}

std::pair<HeadLineStep, std::string> Feed(const std::string& bytes) {
    std::string line;
    HeadLineStep step = HeadLineStep::Continue;
    for (char byte : bytes) {
        step = AddHeadLineByte(line, byte);
        if (step != HeadLineStep::Continue) break;
    }
    return {step, line};
}

TEST(HeadLine, CarriageReturnsVanishLineFeedEnds) {
    EXPECT_EQ(Feed("GET / HTTP/1.1\r\n"), std::make_pair(HeadLineStep::Complete, std::string("GET / HTTP/1.1")));
    EXPECT_EQ(Feed("G\rET /\n"), std::make_pair(HeadLineStep::Complete, std::string("GET /")));
    EXPECT_EQ(Feed("\r\n"), std::make_pair(HeadLineStep::Complete, std::string()));
    EXPECT_EQ(Feed("\n"), std::make_pair(HeadLineStep::Complete, std::string()));
    EXPECT_EQ(Feed("no end"), std::make_pair(HeadLineStep::Continue, std::string("no end")));
}

TEST(HeadLine, LimitCountsBytesButNotCarriageReturns) {
    EXPECT_EQ(Feed(std::string(8192, 'a') + "\n").first, HeadLineStep::Complete);
    EXPECT_EQ(Feed(std::string(8192, 'a') + std::string(100, '\r') + "\r\n").first, HeadLineStep::Complete);
    EXPECT_EQ(Feed(std::string(8193, 'a') + "\n").first, HeadLineStep::TooLong);
}

TEST(AccessLine, FieldsAsReceivedWithTheStatusTail) {
    EXPECT_EQ(BuildAccessLine("2026-01-16 09:30:12.045", "127.0.0.1", "GET", "/", 200),
              "2026-01-16 09:30:12.045 [ACCESS] 127.0.0.1 \"GET /\" 200");
    EXPECT_EQ(BuildAccessLine("T", "unknown", "", "", 405), "T [ACCESS] unknown \" \" 405");
    EXPECT_EQ(BuildAccessLine("T", "::1", "GET", "/a\"b", 404), "T [ACCESS] ::1 \"GET /a\"b\" 404");
}

TEST(ClientAddress, UnknownFamilyOrEmptyAddressIsUnknown) {
    platform::PeerAddress peer;
    std::memset(peer.bytes, 0, sizeof peer.bytes);
    EXPECT_EQ(ClientAddressText(peer), "unknown");
    peer.bytes[0] = 99;
    EXPECT_EQ(ClientAddressText(peer), "unknown");
}

// What a client receives for each fixed reply: a status line with the status that the
// access line logs, "Connection: close" as the only field, then at most one short line
// that the close ends (there is no Content-Length). The end-to-end cases receive the exact
// texts of the replies a client can cause; a failed read it cannot, so that one is here.
TEST(FixedReplies, StatusLineIsTheLoggedStatusAndTheCloseEndsTheBody) {
    const FixedReply replies[] = {FixedReply::BadRequest,       FixedReply::NoIndexDocument, FixedReply::NotFound,
                                  FixedReply::MethodNotAllowed, FixedReply::TooLarge,        FixedReply::ReadFailed};
    for (FixedReply reply : replies) {
        const std::string text(FixedReplyText(reply));
        const std::string statusLine = "HTTP/1.1 " + std::to_string(FixedReplyStatus(reply)) + " ";
        EXPECT_EQ(text.rfind(statusLine, 0), 0u) << text;
        const std::size_t fields = text.find("\r\n");
        const std::size_t body = text.find("\r\n\r\n") + 4;
        ASSERT_NE(fields, std::string::npos) << text;
        EXPECT_EQ(text.substr(fields, body - fields), "\r\nConnection: close\r\n\r\n") << text;
        EXPECT_EQ(text.find('\n', body), std::string::npos) << text;
    }
    EXPECT_EQ(FixedReplyText(FixedReply::ReadFailed),
              "HTTP/1.1 500 Internal Server Error\r\nConnection: close\r\n\r\nRead failed");
}

}  // namespace
