// The server started in a Windows test program: how its listener holds the port, and a stop
// and start while a download is held, with a real TLS client in the same process.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "common/folders.h"
#include "common/port.h"
#include "common/text.h"
#include "platform/sockets.h"
#include "server/server.h"
#include "test_support/app_data.h"
#include "test_support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Only ends a hang: a reply that has not come by then will not come.
constexpr DWORD kReplyLimitMs = 120000;

const std::string kWholeA =
    "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 1\r\n\r\nA";

std::vector<std::wstring> shownBoxes;

void RecordBox(platform::WindowHandle, const std::wstring& text, const std::wstring& caption) {
    shownBoxes.push_back(caption + L"|" + text);
}

sockaddr_in AnyAddress(std::uint16_t port) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    return address;
}

// A port on which nothing listens right now: the system's pick for a bind to port 0.
std::uint16_t FreePort() {
    const platform::SocketHandle probe(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address = AnyAddress(0);
    int length = sizeof address;
    if (bind(probe.native(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(probe.native(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// Connects, sends the request and reads until the server ends the connection; calls
// `pause` once after the first bytes of the reply. Everything received.
std::string TlsExchange(std::uint16_t port, const std::string& request, const std::function<void()>& pause = [] {}) {
    static SSL_CTX* const context = [] {
        SSL_CTX* made = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_verify(made, SSL_VERIFY_NONE, nullptr);
        return made;
    }();
    const platform::SocketHandle socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    DWORD limit = kReplyLimitMs;
    setsockopt(socket.native(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
    sockaddr_in address = AnyAddress(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(socket.native(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return "";
    std::unique_ptr<SSL, SslFree> ssl(SSL_new(context));
    // OpenSSL keeps a Windows socket in an int; its values fit.
    SSL_set_fd(ssl.get(), static_cast<int>(socket.native()));
    std::string reply;
    if (SSL_connect(ssl.get()) == 1 &&
        SSL_write(ssl.get(), request.data(), static_cast<int>(request.size())) == static_cast<int>(request.size())) {
        char buffer[16384];
        bool paused = false;
        for (int got; (got = SSL_read(ssl.get(), buffer, sizeof buffer)) > 0;) {
            reply.append(buffer, static_cast<std::size_t>(got));
            if (!paused) pause();
            paused = true;
        }
    }
    ERR_clear_error();
    return reply;
}

class WindowsServer : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string refusal = ClearAppDataForTest();
        if (!refusal.empty()) GTEST_FAIL() << refusal;
        SetErrorBoxFunction(RecordBox);
        shownBoxes.clear();
        port_ = FreePort();
        ASSERT_NE(port_, 0);
        SetListeningPort(port_);
        WriteFileBytes(fs::path(GetWebRootFolder()) / "a.txt", "A");
    }
    void TearDown() override {
        StopServer();
        SetErrorBoxFunction(platform::ShowErrorBox);
    }

    std::uint16_t port_ = 0;
};

TEST_F(WindowsServer, TheListenerHoldsItsPortAlone) {
    ASSERT_TRUE(StartServer(nullptr));
    int exclusive = 0;
    int length = sizeof exclusive;
    ASSERT_EQ(getsockopt(serverState.listenSocket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<char*>(&exclusive),
                         &length),
              0);
    EXPECT_EQ(exclusive, 1);
    // A plain bind is refused as an access the listener forbids, not as a port in use.
    const platform::SocketHandle second(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    const sockaddr_in address = AnyAddress(port_);
    EXPECT_NE(bind(second.native(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(WSAGetLastError(), WSAEACCES);
}

TEST_F(WindowsServer, StartRightAfterAStopBindsAtOnceAfterFiftyAnsweredConnections) {
    ASSERT_TRUE(StartServer(nullptr));
    for (int i = 0; i < 50; ++i) ASSERT_EQ(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n"), kWholeA) << i;
    StopServer();
    EXPECT_TRUE(StartServer(nullptr));
    EXPECT_TRUE(shownBoxes.empty()) << (shownBoxes.empty() ? std::string() : WideToUtf8(shownBoxes[0]));
}

TEST_F(WindowsServer, StopBreaksOffALiveDownloadAndCutsNoNewConnection) {
    fs::path big = fs::path(GetWebRootFolder()) / "big.bin";
    WriteFileBytes(big, "");
    fs::resize_file(big, 52428800);
    ASSERT_TRUE(StartServer(nullptr));
    // The client holds its download after the first bytes until the stop, the next start
    // and 50 new requests are done. Had the stop ended the process's last socket library
    // start, the download's socket number could go to a new connection, which the
    // download's thread would then close.
    std::vector<std::string> replies;
    std::string download = TlsExchange(port_, "GET /big.bin HTTP/1.1\r\n\r\n", [&] {
        StopServer();
        if (!StartServer(nullptr)) return;
        for (int i = 0; i < 50; ++i) replies.push_back(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n"));
    });
    EXPECT_EQ(download.substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_LT(download.size(), std::size_t{52428800}) << "the stop did not break the download off";
    EXPECT_EQ(replies, std::vector<std::string>(50, kWholeA));
    EXPECT_TRUE(shownBoxes.empty());
}

}  // namespace
