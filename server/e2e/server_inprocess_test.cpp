// The server started in this process: its record, its stop and restart, and the idle limit,
// with a real TLS client.
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/folders.h"
#include "common/port.h"
#include "server/e2e/tls_client.h"
#include "server/server.h"
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
        SetEnvironmentValue("XDG_DATA_HOME", data_.path().string());
        SetErrorBoxFunction(RecordBox);
        shownBoxes.clear();
        port_ = FreePort();
        SetListeningPort(static_cast<std::uint16_t>(port_));
        serverState.idleLimitMs = CONNECTION_IDLE_LIMIT_MS;
        WriteFileBytes(fs::path(GetWebRootFolder()) / "a.txt", "A");
    }
    void TearDown() override {
        StopServer();
        SetErrorBoxFunction(platform::ShowErrorBox);
    }

    TempFolder data_;
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
    serverState.idleLimitMs = 300;
    ASSERT_TRUE(StartServer(nullptr));
    int silent = ConnectSilently(port_);
    ASSERT_GE(silent, 0);
    EXPECT_TRUE(WaitForPeerClose(silent, 10000));
    close(silent);
    EXPECT_EQ(LogTexts(), std::vector<std::string>{" [INFO] Server started"});
}

TEST_F(InProcessServer, StopDoesNotWaitForARunningDownload) {
    fs::path big = fs::path(GetWebRootFolder()) / "big.bin";
    WriteFileBytes(big, "");
    fs::resize_file(big, 52428800);
    ASSERT_TRUE(StartServer(nullptr));
    std::chrono::steady_clock::duration stopTook{};
    std::string reply = TlsExchangeWithPause(port_, "GET /big.bin HTTP/1.1\r\n\r\n", [&] {
        auto before = std::chrono::steady_clock::now();
        StopServer();
        stopTook = std::chrono::steady_clock::now() - before;
    });
    EXPECT_LT(stopTook, std::chrono::seconds(2));
    EXPECT_GT(reply.size(), 0u);
    ASSERT_TRUE(StartServer(nullptr));
    EXPECT_EQ(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n").substr(0, 15), "HTTP/1.1 200 OK");
}

}  // namespace
