// The server started in this process: its record, its stop and restart, and the idle limit,
// with a real TLS client.
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/folders.h"
#include "common/port.h"
#include "platform/process.h"
#include "server/e2e/tls_client.h"
#include "server/server.h"
#include "test_support/app_data.h"
#include "test_support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::wstring> shownBoxes;

void RecordBox(platform::WindowHandle, const std::wstring& text, const std::wstring& caption) {
    shownBoxes.push_back(caption + L"|" + text);
}

// The log's lines without time stamps.
std::vector<std::string> LogTexts() {
    std::string content = ReadFileBytes(fs::path(GetLogFilePath()));
    std::vector<std::string> texts;
    for (size_t start = 0, end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2) {
        texts.push_back(content.substr(start + 23, end - start - 23));
    }
    return texts;
}

// A plain listener on the port, as another program would hold it.
int ListenOn(int port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

class InProcessServer : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string refusal = ClearAppDataForTest();
        if (!refusal.empty()) GTEST_FAIL() << refusal;
        SetErrorBoxFunction(RecordBox);
        shownBoxes.clear();
        port_ = FreePort();
        SetListeningPort(static_cast<std::uint16_t>(port_));
        serverState.limits = ConnectionLimits{};
        WriteFileBytes(fs::path(GetWebRootFolder()) / "a.txt", "A");
    }
    void TearDown() override {
        StopServer();
        SetErrorBoxFunction(platform::ShowErrorBox);
    }

    int port_ = 0;
};

TEST_F(InProcessServer, SecondStartChangesNothingAndStopWhileStoppedWritesNothing) {
    StopServer();
    ASSERT_TRUE(StartServer(nullptr));
    platform::Socket listener = serverState.listenSocket;
    EXPECT_TRUE(StartServer(nullptr));
    EXPECT_EQ(serverState.listenSocket.load(), listener);
    StopServer();
    StopServer();
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{" [INFO] Server started", " [INFO] Server stopped"}));
    EXPECT_TRUE(shownBoxes.empty());
}

TEST_F(InProcessServer, StopLeavesTheRecordStoppedAndTheNextStartServes) {
    ASSERT_TRUE(StartServer(nullptr));
    StopServer();
    EXPECT_FALSE(serverState.running);
    EXPECT_TRUE(serverState.stopRequested);
    EXPECT_EQ(serverState.listenSocket.load(), platform::kInvalidSocket);
    EXPECT_EQ(serverState.sslContext, nullptr);
    EXPECT_FALSE(serverState.acceptThread.joinable());
    EXPECT_FALSE(PortAnswers(port_));
    ASSERT_TRUE(StartServer(nullptr));
    EXPECT_FALSE(serverState.stopRequested);
    EXPECT_EQ(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n").substr(0, 15), "HTTP/1.1 200 OK");
}

TEST_F(InProcessServer, FailedStartReleasesEverythingAndTheNextStartTriesAgain) {
    int blocker = ListenOn(port_);
    ASSERT_GE(blocker, 0);
    EXPECT_FALSE(StartServer(nullptr));
    ASSERT_EQ(shownBoxes.size(), 1u);
    EXPECT_EQ(shownBoxes[0].rfind(L"Error|bind() to port " + std::to_wstring(port_) + L" failed:\n", 0), 0u);
    EXPECT_FALSE(serverState.running);
    EXPECT_EQ(serverState.listenSocket.load(), platform::kInvalidSocket);
    EXPECT_EQ(serverState.sslContext, nullptr);
    EXPECT_FALSE(serverState.acceptThread.joinable());
    close(blocker);
    ASSERT_TRUE(StartServer(nullptr));
    EXPECT_EQ(LogTexts(), std::vector<std::string>{" [INFO] Server started"});
}

TEST_F(InProcessServer, SilentClientIsClosedByTheIdleLimitWithoutALine) {
    serverState.limits.idleLimitMs = 300;
    ASSERT_TRUE(StartServer(nullptr));
    int silent = ConnectSilently(port_);
    ASSERT_GE(silent, 0);
    EXPECT_TRUE(WaitForPeerClose(silent, 10000));
    close(silent);
    EXPECT_EQ(LogTexts(), std::vector<std::string>{" [INFO] Server started"});
}

// How a client sends its head under shortened head limits, and whether it is answered.
struct HeadLimitCase {
    const char* what;
    unsigned deadlineMs;
    size_t sizeCap;
    std::string start;  // sent at once
    bool trickles;      // then one more byte of the same line every 20 ms, for ever
    bool answered;
};

TEST_F(InProcessServer, HeadDeadlineAndSizeCapEndTheHeadOrTheConnection) {
    // The handshake counts towards the deadline: room for a slow one on a busy machine.
    constexpr unsigned kShortDeadlineMs = 2000;
    std::string headerLines = "GET /a.txt HTTP/1.1\r\n";
    while (headerLines.size() <= 6000) headerLines += "X-Filler: " + std::string(50, 'f') + "\r\n";
    const HeadLimitCase cases[] = {
        {"header bytes trickled past the deadline", kShortDeadlineMs, HEAD_SIZE_CAP,
         "GET /a.txt HTTP/1.1\r\nX-Slow: ", true, true},
        {"request line trickled past the deadline", kShortDeadlineMs, HEAD_SIZE_CAP, "GET /a.t", true, false},
        {"header lines over the size cap", HEAD_DEADLINE_MS, 4096, headerLines, false, true},
        {"request line over the size cap", HEAD_DEADLINE_MS, 4096,
         "GET /" + std::string(6000, 'a') + " HTTP/1.1\r\n\r\n", false, false},
    };
    for (const HeadLimitCase& c : cases) {
        StopServer();
        fs::remove(GetLogFilePath());
        serverState.limits.headDeadlineMs = c.deadlineMs;
        serverState.limits.headSizeCap = c.sizeCap;
        ASSERT_TRUE(StartServer(nullptr));
        std::string reply;
        if (c.trickles) {
            EXPECT_TRUE(TlsTrickle(port_, c.start, 'x', 20, reply)) << c.what << ": the server never ended it";
        } else {
            reply = TlsExchange(port_, c.start);
        }
        std::vector<std::string> lines{" [INFO] Server started"};
        if (c.answered) {
            EXPECT_EQ(reply, "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/plain; charset=utf-8\r\n"
                             "Content-Length: 1\r\n\r\nA") << c.what;
            lines.push_back(" [ACCESS] 127.0.0.1 \"GET /a.txt\" 200");
        } else {
            EXPECT_EQ(reply, "") << c.what;
        }
        EXPECT_EQ(LogTexts(), lines) << c.what;
    }
}

TEST_F(InProcessServer, StopBreaksOffALiveDownloadAndCutsNoNewConnection) {
    fs::path big = fs::path(GetWebRootFolder()) / "big.bin";
    WriteFileBytes(big, "");
    fs::resize_file(big, 52428800);
    ASSERT_TRUE(StartServer(nullptr));
    // The client holds its download after the first bytes until the stop, the next start
    // and 50 new requests are done: a stop that waited for the download would never
    // return, and a socket number closed under the download's thread and handed to a new
    // connection would cut that one short.
    const std::string whole = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/plain; charset=utf-8\r\n"
                              "Content-Length: 1\r\n\r\nA";
    std::vector<std::string> replies;
    std::string download = TlsExchangeWithPause(port_, "GET /big.bin HTTP/1.1\r\n\r\n", [&] {
        StopServer();
        if (!StartServer(nullptr)) return;
        for (int i = 0; i < 50; ++i) replies.push_back(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n"));
    });
    EXPECT_EQ(download.substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_LT(download.size(), std::size_t{52428800}) << "the stop did not break the download off";
    EXPECT_EQ(replies, std::vector<std::string>(50, whole));
    EXPECT_TRUE(shownBoxes.empty());
}

// Under the sanitizers every thread and connection costs many times more: smaller crowds.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kCrowd = 4;
#else
constexpr int kCrowd = 1;
#endif

TEST_F(InProcessServer, ThousandSilentConnectionsNeitherBlockARequestNorStayForever) {
    std::uint64_t kept = 0;
    std::uint32_t error = 0;
    platform::RaiseDescriptorLimit(kept, error);
    // Long enough that no silent connection may end before the request on a busy machine:
    // the request is answered while all of them are still open.
    serverState.limits.idleLimitMs = 15000;
    ASSERT_TRUE(StartServer(nullptr));
    // Every other one stops inside its hello, where its thread may hold a handshake turn.
    const std::string helloStart("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11);
    std::vector<int> silent;
    for (int i = 0; i < 1000 / kCrowd; ++i) silent.push_back(ConnectSilently(port_, i % 2 ? helloStart : ""));
    EXPECT_EQ(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n").substr(0, 15), "HTTP/1.1 200 OK");
    int closedBeforeTheAnswer = 0;
    for (int fd : silent) {
        if (fd >= 0 && WaitForPeerClose(fd, 0)) ++closedBeforeTheAnswer;
    }
    EXPECT_EQ(closedBeforeTheAnswer, 0);
    int closed = 0;
    for (int fd : silent) {
        if (fd >= 0 && WaitForPeerClose(fd, 20000)) ++closed;
        if (fd >= 0) close(fd);
    }
    EXPECT_EQ(closed, static_cast<int>(silent.size()));
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{" [INFO] Server started", " [ACCESS] 127.0.0.1 \"GET /a.txt\" 200"}));
}

TEST_F(InProcessServer, ResetsAtEveryStageLeaveExactlyTheLinesOfAnsweredRequests) {
    ASSERT_TRUE(StartServer(nullptr));
    // The start of a ClientHello, then a reset: the handshake fails.
    PlainSendThenReset(port_, std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11));
    // Inside the request line: nothing to answer.
    EXPECT_TRUE(TlsSendThenReset(port_, "GET /a.t"));
    // A client that ends inside the header lines: the request line stands, so it is
    // answered and logged. (A reset there may take the unread request with it.)
    EXPECT_EQ(TlsSendThenEnd(port_, "GET /a.txt HTTP/1.1\r\nHost: loc").substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_EQ(TlsExchange(port_, "GET /missing HTTP/1.1\r\n\r\n").substr(0, 22), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(LogTexts(), (std::vector<std::string>{" [INFO] Server started", " [ACCESS] 127.0.0.1 \"GET /a.txt\" 200",
                                                    " [ACCESS] 127.0.0.1 \"GET /missing\" 404"}));
}

TEST_F(InProcessServer, ManyClientsManyRequestsGiveExactlyOneWholeLineEach) {
    const int clients = 64 / kCrowd, requests = 100 / kCrowd;
    ASSERT_TRUE(StartServer(nullptr));
    std::atomic<int> answered{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            for (int r = 0; r < requests; ++r) {
                if (TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n").substr(0, 15) == "HTTP/1.1 200 OK") ++answered;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(answered, clients * requests);
    std::string content = ReadFileBytes(fs::path(GetLogFilePath()));
    const std::string tail = " [ACCESS] 127.0.0.1 \"GET /a.txt\" 200\r\n";
    size_t lines = 0;
    for (size_t at = content.find("\r\n") + 2; at < content.size(); at += 23 + tail.size(), ++lines) {
        ASSERT_EQ(content.compare(at + 23, tail.size(), tail), 0) << content.substr(at, 80);
    }
    EXPECT_EQ(lines, static_cast<size_t>(clients * requests));
}

TEST_F(InProcessServer, UnwritableLogDropsLinesButNotAnswers) {
    ASSERT_TRUE(StartServer(nullptr));
    fs::path log(GetLogFilePath());
    fs::remove(log);
    // A folder where the file should be: no one, not even root, can open it for writing.
    fs::create_directory(log);
    EXPECT_EQ(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n").substr(0, 15), "HTTP/1.1 200 OK");
    fs::remove(log);
    EXPECT_EQ(TlsExchange(port_, "GET /missing HTTP/1.1\r\n\r\n").substr(0, 22), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(LogTexts(), std::vector<std::string>{" [ACCESS] 127.0.0.1 \"GET /missing\" 404"});
}

TEST_F(InProcessServer, StopWhileFiftyDownloadsRunReturnsAtOnceAndTheNextStartServes) {
    const int downloads = 50 / kCrowd;
    fs::path big = fs::path(GetWebRootFolder()) / "big.bin";
    WriteFileBytes(big, "");
    fs::resize_file(big, 52428800);
    ASSERT_TRUE(StartServer(nullptr));
    std::atomic<int> started{0}, finished{0};
    std::atomic<bool> stopReturned{false};
    std::vector<std::string> replies(static_cast<std::size_t>(downloads));
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < replies.size(); ++i) {
        threads.emplace_back([&, i] {
            replies[i] = TlsExchangeWithPause(port_, "GET /big.bin HTTP/1.1\r\n\r\n", [&] {
                ++started;
                // Hold the download until every one of them is under way and the stop is done.
                while (!stopReturned) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
            ++finished;
        });
    }
    for (int wait = 0; started < downloads && wait < 60000; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(started, downloads);
    // Every download is held until the stop is done: the stop returns before any of them
    // ends, or it would wait for ever.
    StopServer();
    EXPECT_EQ(finished, 0);
    stopReturned = true;
    for (std::thread& t : threads) t.join();
    for (const std::string& reply : replies) EXPECT_EQ(reply.substr(0, 15), "HTTP/1.1 200 OK");
    ASSERT_TRUE(StartServer(nullptr));
    EXPECT_EQ(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n").substr(0, 15), "HTTP/1.1 200 OK");
}

}  // namespace
