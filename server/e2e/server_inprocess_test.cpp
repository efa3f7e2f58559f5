// The server started in this process: its record, its stop and restart, and the idle limit,
// with a real TLS client.
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>
#include <atomic>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/folders.h"
#include "common/port.h"
#include "platform/process.h"
#include "server/e2e/tls_client.h"
#include "server/handshake_turns.h"
#include "server/server.h"
#include "test_support/app_data.h"
#include "test_support/temp_folder.h"
#include "test_support/wait_limit.h"

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

// True once no thread holds a handshake turn or waits for one; false only when that never
// happens. Connections may still be closing when a test ends, but each gives its turn
// back before its first wait on the socket.
bool WaitUntilEveryTurnIsBack() {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    for (;;) {
        HandshakeTurnsSeen seen = LookAtHandshakeTurns(handshakeTurns);
        if (seen.held == 0 && seen.waiting == 0) return true;
        if (std::chrono::steady_clock::now() > giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
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
        EXPECT_TRUE(WaitUntilEveryTurnIsBack());
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
    EXPECT_TRUE(WaitForPeerClose(silent, kHangLimitMs));
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
        if (fd >= 0 && WaitForPeerClose(fd, kHangLimitMs)) ++closed;
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

// The steps of a handshake that cost the server much CPU, as the server's message callback
// sees them, each marked when no handshake turn was out while it ran.
std::mutex costlyStepsLock;
std::vector<std::string> costlySteps;

void RecordCostlyStep(int sent, int, int contentType, const void* bytes, size_t length, SSL*, void*) {
    if (contentType != SSL3_RT_HANDSHAKE || length == 0) return;
    // A received ClientHello or ClientKeyExchange is what the costly work answers: the
    // turn must be out before it is processed. A sent message is the costly work's result.
    const int type = *static_cast<const unsigned char*>(bytes);
    const char* step = nullptr;
    if (!sent && type == SSL3_MT_CLIENT_HELLO) step = "received ClientHello";
    if (!sent && type == SSL3_MT_CLIENT_KEY_EXCHANGE) step = "received ClientKeyExchange";
    if (sent && type == SSL3_MT_SERVER_HELLO) step = "sent ServerHello";
    if (sent && type == SSL3_MT_SERVER_KEY_EXCHANGE) step = "sent ServerKeyExchange";
    if (sent && type == SSL3_MT_CERTIFICATE_VERIFY) step = "sent CertificateVerify";
    if (step == nullptr) return;
    // One client at a time: the one turn out is this handshake's.
    bool turnOut = LookAtHandshakeTurns(handshakeTurns).held == 1;
    std::lock_guard<std::mutex> hold(costlyStepsLock);
    costlySteps.push_back(std::string(step) + (turnOut ? "" : " without a turn"));
}

struct PkeyRelease {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct X509Release {
    void operator()(X509* certificate) const { X509_free(certificate); }
};

// A self-signed RSA-2048 certificate and its key: RSA key exchange needs an RSA
// certificate, whatever the server's own files hold.
struct RsaPair {
    std::unique_ptr<EVP_PKEY, PkeyRelease> key{EVP_RSA_gen(2048)};
    std::unique_ptr<X509, X509Release> certificate{X509_new()};
    RsaPair() {
        X509* c = certificate.get();
        X509_set_version(c, X509_VERSION_3);
        ASN1_INTEGER_set(X509_get_serialNumber(c), 1);
        X509_gmtime_adj(X509_getm_notBefore(c), 0);
        X509_gmtime_adj(X509_getm_notAfter(c), 86400);
        X509_NAME_add_entry_by_txt(X509_get_subject_name(c), "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
        X509_set_issuer_name(c, X509_get_subject_name(c));
        X509_set_pubkey(c, key.get());
        X509_sign(c, key.get(), EVP_sha256());
    }
};

// Makes the server's context offer the pair, and send `chainCopies` copies of its
// certificate after whichever certificate it presents. False when the pair was refused.
bool ServeRsaPair(SSL_CTX* context, const RsaPair& rsa, int chainCopies) {
    if (SSL_CTX_use_certificate(context, rsa.certificate.get()) != 1 ||
        SSL_CTX_use_PrivateKey(context, rsa.key.get()) != 1) {
        return false;
    }
    for (long more = SSL_CTX_set_current_cert(context, SSL_CERT_SET_FIRST); more == 1;
         more = SSL_CTX_set_current_cert(context, SSL_CERT_SET_NEXT)) {
        for (int i = 0; i < chainCopies; ++i) SSL_CTX_add1_chain_cert(context, rsa.certificate.get());
    }
    return true;
}

// A handshake whose costly steps lie where a turn given back at the wrong moment misses them.
struct CostlyHandshakeCase {
    const char* what;
    ClientOffer offer;
    const char* serverGroups;  // "" for the server's own
    int chainCopies;           // certificates sent after the server's own
    std::vector<std::string> steps;
};

TEST_F(InProcessServer, EveryCostlyStepOfAHandshakeRunsUnderATurn) {
    // The server's initialisation of OpenSSL, which keeps the library's state at exit for
    // connections still under way, must be the process's first.
    ASSERT_TRUE(StartServer(nullptr));
    const RsaPair rsa;
    ASSERT_NE(rsa.key, nullptr);
    const CostlyHandshakeCase cases[] = {
        // The client's one key share is for a group the server does not take: the
        // HelloRetryRequest is the server's first write, the real work comes after it.
        {"after a HelloRetryRequest", {TLS1_3_VERSION, "", "P-256:X25519"}, "X25519", 0,
         {"received ClientHello", "sent ServerHello", "received ClientHello", "sent ServerHello",
          "sent CertificateVerify"}},
        // The private-key decryption comes after the server's first flight.
        {"TLS 1.2 with RSA key exchange", {TLS1_2_VERSION, "AES128-GCM-SHA256", ""}, "", 0,
         {"received ClientHello", "sent ServerHello", "received ClientKeyExchange"}},
        {"TLS 1.2 with ECDHE", {TLS1_2_VERSION, "ECDHE-RSA-AES128-GCM-SHA256", ""}, "", 0,
         {"received ClientHello", "sent ServerHello", "sent ServerKeyExchange", "received ClientKeyExchange"}},
        // OpenSSL's write buffer overflows with the certificates, before the signature.
        {"TLS 1.3 with a long certificate chain", {TLS1_3_VERSION, "", ""}, "", 12,
         {"received ClientHello", "sent ServerHello", "sent CertificateVerify"}},
    };
    for (const CostlyHandshakeCase& c : cases) {
        StopServer();
        ASSERT_TRUE(StartServer(nullptr));
        SSL_CTX* context = serverState.sslContext.get();
        ASSERT_TRUE(ServeRsaPair(context, rsa, c.chainCopies));
        if (*c.serverGroups != '\0') {
            ASSERT_EQ(SSL_CTX_set1_groups_list(context, c.serverGroups), 1);
        }
        SSL_CTX_set_msg_callback(context, RecordCostlyStep);
        costlySteps.clear();
        EXPECT_TRUE(TlsHandshakeThenClose(port_, c.offer)) << c.what;
        std::lock_guard<std::mutex> hold(costlyStepsLock);
        EXPECT_EQ(costlySteps, c.steps) << c.what;
    }
}

TEST_F(InProcessServer, AHandshakeWhoseClientStopsReadingHoldsNoTurnWhileItWaits) {
    // Longer than this test waits for the turn: only a turn given back while the send
    // waits lets it pass.
    serverState.limits.idleLimitMs = 600000;
    serverState.limits.headDeadlineMs = 600000;
    ASSERT_TRUE(StartServer(nullptr));
    const RsaPair rsa;
    ASSERT_NE(rsa.key, nullptr);
    SSL_CTX* context = serverState.sslContext.get();
    // A first flight of about 8 MB: more than the client's window and the server's send
    // buffer (which grows to 4 MiB at most on Linux) take before the client reads.
    ASSERT_TRUE(ServeRsaPair(context, rsa, 10000));
    SSL_CTX_set_msg_callback(context, RecordCostlyStep);
    costlySteps.clear();
    int stalled = SendHelloThenStopReading(port_);
    ASSERT_GE(stalled, 0);
    // Once the server has begun its answer, its turn goes back while the send waits for
    // the client.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    auto answerBegun = [] {
        std::lock_guard<std::mutex> hold(costlyStepsLock);
        return costlySteps.size() >= 2;
    };
    while (!answerBegun() && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(WaitUntilEveryTurnIsBack());
    close(stalled);
    std::lock_guard<std::mutex> hold(costlyStepsLock);
    EXPECT_EQ(costlySteps, (std::vector<std::string>{"received ClientHello", "sent ServerHello"}));
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
    const auto giveUp = std::chrono::steady_clock::now() + kHangLimit;
    while (started < downloads && std::chrono::steady_clock::now() < giveUp) {
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
