// The console host end to end: a real process, real files, a real TLS client sending raw
// bytes, whole responses and whole log lines compared.
#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "server/e2e/host_process.h"
#include "server/e2e/tls_client.h"
#include "test_support/wait_limit.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const std::string kOkHead = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: ";
const std::string k400 = "HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n";
const std::string k404 = "HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\nNot Found";
const std::string k404Index = "HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\nindex.html not found";
const std::string k405 = "HTTP/1.1 405 Method Not Allowed\r\nConnection: close\r\n\r\n";
const std::string k413 = "HTTP/1.1 413 Payload Too Large\r\nConnection: close\r\n\r\nFile too large";

std::string Ok(const std::string& type, const std::string& body, bool withBody = true) {
    return kOkHead + type + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + (withBody ? body : "");
}

// A file of the size that costs no disk space.
void MakeSparseFile(const fs::path& file, std::uintmax_t size) {
    WriteFileBytes(file, "");
    fs::resize_file(file, size);
}

// One running host shared by the tests of a suite that do not stop it.
class RunningHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        host_ = new HostProcess();
        port_ = FreePort();
        fs::path root = host_->WebRoot();
        WriteFileBytes(root / "index.html", "<h1>Pellwick</h1>\n");
        WriteFileBytes(root / "a.txt", "plain text");
        WriteFileBytes(root / "sub" / "a.txt", "nested");
        WriteFileBytes(root / "empty.png", "");
        WriteFileBytes(root / "data.json", "{}");
        WriteFileBytes(root / "a..b.txt", "never served");
        WriteFileBytes(root / "my file.txt", "spaced");
        WriteFileBytes(root / "\xc3\xa9.txt", "accent");
        WriteFileBytes(root / "\xf0\x9f\x98\x80 smile.txt", "emoji");
        WriteFileBytes(root / "caf\xc3\xa9" / "men\xc3\xbc.html", "<p>menu</p>");
        fs::create_directories(root / "docs");
        MakeSparseFile(root / "limit.bin", 52428800);
        MakeSparseFile(root / "over.bin", 52428801);
        ASSERT_TRUE(host_->Start(port_)) << host_->Stderr();
    }

    static void TearDownTestSuite() {
        delete host_;
        host_ = nullptr;
    }

    void SetUp() override { ASSERT_NE(host_, nullptr); }

    // The access lines written since the given count of log lines.
    static std::vector<std::string> LinesAfter(size_t count) {
        std::vector<std::string> texts = host_->LogTexts();
        const auto skipped = static_cast<std::ptrdiff_t>(std::min(count, texts.size()));
        return std::vector<std::string>(texts.begin() + skipped, texts.end());
    }

    static HostProcess* host_;
    static int port_;
};

HostProcess* RunningHost::host_ = nullptr;
int RunningHost::port_ = 0;

struct Exchange {
    std::string request;
    std::string reply;
    std::string accessLine;  // after the time stamp; "" for none
};

TEST_F(RunningHost, EveryOutcomeHasItsExactBytesAndAccessLine) {
    const std::string html = "<h1>Pellwick</h1>\n";
    const Exchange cases[] = {
        {"GET / HTTP/1.1\r\nHost: localhost\r\n\r\n", Ok("text/html; charset=utf-8", html),
         " [ACCESS] 127.0.0.1 \"GET /\" 200"},
        {"GET /index.html HTTP/1.1\r\n\r\n", Ok("text/html; charset=utf-8", html),
         " [ACCESS] 127.0.0.1 \"GET /index.html\" 200"},
        {"HEAD /a.txt HTTP/1.1\r\n\r\n", Ok("text/plain; charset=utf-8", "plain text", false),
         " [ACCESS] 127.0.0.1 \"HEAD /a.txt\" 200"},
        {"HEAD /missing HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"HEAD /missing\" 404"},
        {"GET /a.txt HTTP/1.0\r\n\r\n", Ok("text/plain; charset=utf-8", "plain text"),
         " [ACCESS] 127.0.0.1 \"GET /a.txt\" 200"},
        {"GET /a.txt FOO\r\n\r\n", Ok("text/plain; charset=utf-8", "plain text"),
         " [ACCESS] 127.0.0.1 \"GET /a.txt\" 200"},
        {"GET /sub/a.txt HTTP/1.1\n\n", Ok("text/plain; charset=utf-8", "nested"),
         " [ACCESS] 127.0.0.1 \"GET /sub/a.txt\" 200"},
        {"GET \\sub\\a.txt HTTP/1.1\r\n\r\n", Ok("text/plain; charset=utf-8", "nested"),
         " [ACCESS] 127.0.0.1 \"GET \\sub\\a.txt\" 200"},
        {"G\rET //sub/a.txt HTTP/1.1\r\n\r\n", Ok("text/plain; charset=utf-8", "nested"),
         " [ACCESS] 127.0.0.1 \"GET //sub/a.txt\" 200"},
        {"GET  /a HTTP/1.1\r\n\r\n", Ok("text/html; charset=utf-8", html), " [ACCESS] 127.0.0.1 \"GET \" 200"},
        {"GET /empty.png HTTP/1.1\r\n\r\n", Ok("image/png", ""), " [ACCESS] 127.0.0.1 \"GET /empty.png\" 200"},
        {"GET /data.json HTTP/1.1\r\n\r\n", Ok("application/json; charset=utf-8", "{}"),
         " [ACCESS] 127.0.0.1 \"GET /data.json\" 200"},
        {"get / HTTP/1.1\r\n\r\n", k405, " [ACCESS] 127.0.0.1 \"get /\" 405"},
        {"POST /x HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello", k405, " [ACCESS] 127.0.0.1 \"POST /x\" 405"},
        {"OPTIONS * HTTP/1.1\r\n\r\n", k405, " [ACCESS] 127.0.0.1 \"OPTIONS *\" 405"},
        {"GET /a.txt\r\n\r\n", k405, " [ACCESS] 127.0.0.1 \" \" 405"},
        {"GET\r\n\r\n", k405, " [ACCESS] 127.0.0.1 \" \" 405"},
        {"\r\nGET / HTTP/1.1\r\n\r\n", k405, " [ACCESS] 127.0.0.1 \" \" 405"},
        {"GET /a..b.txt HTTP/1.1\r\n\r\n", k400, " [ACCESS] 127.0.0.1 \"GET /a..b.txt\" 400"},
        {"GET /../x HTTP/1.1\r\n\r\n", k400, " [ACCESS] 127.0.0.1 \"GET /../x\" 400"},
        {"HEAD /x?y=.. HTTP/1.1\r\n\r\n", k400, " [ACCESS] 127.0.0.1 \"HEAD /x?y=..\" 400"},
        {"GET /a.txt\0.png HTTP/1.1\r\n\r\n"s, k400, " [ACCESS] 127.0.0.1 \"GET /a.txt\0.png\" 400"s},
        {"GET /%2e%2e/a.txt HTTP/1.1\r\n\r\n", k400, " [ACCESS] 127.0.0.1 \"GET /%2e%2e/a.txt\" 400"},
        {"GET /%C0%AE%C0%AE/a.txt HTTP/1.1\r\n\r\n", k400, " [ACCESS] 127.0.0.1 \"GET /%C0%AE%C0%AE/a.txt\" 400"},
        {"GET /%E9.txt HTTP/1.1\r\n\r\n", k400, " [ACCESS] 127.0.0.1 \"GET /%E9.txt\" 400"},
        {"GET /index.html?v=2 HTTP/1.1\r\n\r\n", Ok("text/html; charset=utf-8", html),
         " [ACCESS] 127.0.0.1 \"GET /index.html?v=2\" 200"},
        {"GET /?v=1 HTTP/1.1\r\n\r\n", Ok("text/html; charset=utf-8", html), " [ACCESS] 127.0.0.1 \"GET /?v=1\" 200"},
        {"GET /my%20file.txt HTTP/1.1\r\n\r\n", Ok("text/plain; charset=utf-8", "spaced"),
         " [ACCESS] 127.0.0.1 \"GET /my%20file.txt\" 200"},
        {"GET /%C3%A9.txt HTTP/1.1\r\n\r\n", Ok("text/plain; charset=utf-8", "accent"),
         " [ACCESS] 127.0.0.1 \"GET /%C3%A9.txt\" 200"},
        {"GET /%F0%9F%98%80%20smile.txt HTTP/1.1\r\n\r\n", Ok("text/plain; charset=utf-8", "emoji"),
         " [ACCESS] 127.0.0.1 \"GET /%F0%9F%98%80%20smile.txt\" 200"},
        {"GET /caf%C3%A9/men%c3%bc.html?lang=de HTTP/1.1\r\n\r\n", Ok("text/html; charset=utf-8", "<p>menu</p>"),
         " [ACCESS] 127.0.0.1 \"GET /caf%C3%A9/men%c3%bc.html?lang=de\" 200"},
        {"GET /sub%2Fa.txt HTTP/1.1\r\n\r\n", Ok("text/plain; charset=utf-8", "nested"),
         " [ACCESS] 127.0.0.1 \"GET /sub%2Fa.txt\" 200"},
        {"GET /a.txt%3a%3a$DATA HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /a.txt%3a%3a$DATA\" 404"},
        {"GET /CON%2etxt HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /CON%2etxt\" 404"},
        // A line end that decoding makes stays escaped in the log: no line can be forged.
        {"GET /x%0D%0A[INFO]%20forged HTTP/1.1\r\n\r\n", k404,
         " [ACCESS] 127.0.0.1 \"GET /x%0D%0A[INFO]%20forged\" 404"},
        {"GET /docs/ HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /docs/\" 404"},
        {"GET /docs HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /docs\" 404"},
        {"GET \\ HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET \\\" 404"},
        {"GET // HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET //\" 404"},
        {"GET /\xc3\xa9.txt HTTP/1.1\r\n\r\n", Ok("text/plain; charset=utf-8", "accent"),
         " [ACCESS] 127.0.0.1 \"GET /\xc3\xa9.txt\" 200"},
        {"GET /CON HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /CON\" 404"},
        {"GET /a.txt::$DATA HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /a.txt::$DATA\" 404"},
        {"GET /COM1 HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /COM1\" 404"},
        {"GET /aux.txt HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /aux.txt\" 404"},
        {"GET /sub/nul HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /sub/nul\" 404"},
        {"GET /CONOUT$ HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /CONOUT$\" 404"},
        {"GET /LPT1.log HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /LPT1.log\" 404"},
        {"GET /con. HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /con.\" 404"},
        {"GET /Nul.txt. HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /Nul.txt.\" 404"},
        {"GET /COM9.tar.gz HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /COM9.tar.gz\" 404"},
        {"GET /a.txt:hidden HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /a.txt:hidden\" 404"},
        {"GET /C:/Windows/win.ini HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /C:/Windows/win.ini\" 404"},
        {"GET /index.html::$DATA HTTP/1.1\r\n\r\n", k404, " [ACCESS] 127.0.0.1 \"GET /index.html::$DATA\" 404"},
        {"GET /over.bin HTTP/1.1\r\n\r\n", k413, " [ACCESS] 127.0.0.1 \"GET /over.bin\" 413"},
        {"HEAD /over.bin HTTP/1.1\r\n\r\n", k413, " [ACCESS] 127.0.0.1 \"HEAD /over.bin\" 413"},
        {"HEAD /limit.bin HTTP/1.1\r\n\r\n", Ok("application/octet-stream", std::string(52428800, '\0'), false),
         " [ACCESS] 127.0.0.1 \"HEAD /limit.bin\" 200"},
    };
    for (const Exchange& c : cases) {
        size_t before = host_->LogTexts().size();
        EXPECT_EQ(TlsExchange(port_, c.request), c.reply) << c.request;
        EXPECT_EQ(LinesAfter(before), std::vector<std::string>{c.accessLine}) << c.request;
    }
}

TEST_F(RunningHost, RequestAndHeaderLineLimits) {
    // "GET " + target + " HTTP/1.1". Appended, not "/" + std::string(...): GCC 12 at -O2
    // takes that operator+ for overlapping copies (-Wrestrict).
    const std::string shortTarget = std::string("/").append(8192 - 4 - 9 - 1, 'x');
    const std::string longTarget = shortTarget + "x";
    size_t before = host_->LogTexts().size();
    EXPECT_EQ(TlsExchange(port_, "GET " + shortTarget + " HTTP/1.1\r\n\r\n"), k404);
    EXPECT_EQ(TlsExchange(port_, "GET " + longTarget + " HTTP/1.1\r\n\r\n"), "");
    EXPECT_EQ(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\nX: " + std::string(8190, 'h') + "\r\n\r\n"),
              Ok("text/plain; charset=utf-8", "plain text"));
    EXPECT_EQ(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\nX: " + std::string(8191, 'h') + "\r\n\r\n"),
              Ok("text/plain; charset=utf-8", "plain text"));
    EXPECT_EQ(LinesAfter(before), (std::vector<std::string>{
                                      " [ACCESS] 127.0.0.1 \"GET " + shortTarget + "\" 404",
                                      " [ACCESS] 127.0.0.1 \"GET /a.txt\" 200",
                                      " [ACCESS] 127.0.0.1 \"GET /a.txt\" 200",
                                  }));
}

TEST_F(RunningHost, LargestFileIsSentWhole) {
    std::string reply = TlsExchange(port_, "GET /limit.bin HTTP/1.1\r\n\r\n");
    std::string head = kOkHead + "application/octet-stream\r\nContent-Length: 52428800\r\n\r\n";
    ASSERT_EQ(reply.size(), head.size() + 52428800);
    EXPECT_EQ(reply.substr(0, head.size()), head);
    EXPECT_EQ(reply.find_first_not_of('\0', head.size()), std::string::npos);
}

TEST_F(RunningHost, BytesTheServerDoesNotReadDoNotCutItsAnswerShort) {
    // Closing a socket with unread bytes resets the connection and drops what is still
    // on its way to the client.
    size_t before = host_->LogTexts().size();
    std::string reply = TlsExchange(port_, "GET /limit.bin HTTP/1.1\r\n\r\n" + std::string(65536, 'x'));
    std::string head = kOkHead + "application/octet-stream\r\nContent-Length: 52428800\r\n\r\n";
    EXPECT_EQ(reply.size(), head.size() + 52428800);
    EXPECT_EQ(reply.substr(0, head.size()), head);
    const std::string post = "POST /x HTTP/1.1\r\nContent-Length: 1000000\r\n\r\n" + std::string(1000000, 'b');
    EXPECT_EQ(TlsExchangeWholeRequest(port_, post), k405);
    EXPECT_EQ(LinesAfter(before), (std::vector<std::string>{" [ACCESS] 127.0.0.1 \"GET /limit.bin\" 200",
                                                            " [ACCESS] 127.0.0.1 \"POST /x\" 405"}));
}

TEST_F(RunningHost, ConnectionsWithoutARequestLeaveNoAccessLine) {
    size_t before = host_->LogTexts().size();
    EXPECT_TRUE(TlsHandshakeThenClose(port_));
    std::string plain = PlainExchange(port_, "GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(plain.find("HTTP/1.1"), std::string::npos);
    int silent = ConnectSilently(port_);
    ASSERT_GE(silent, 0);
    close(silent);
    EXPECT_EQ(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n"), Ok("text/plain; charset=utf-8", "plain text"));
    EXPECT_EQ(LinesAfter(before), std::vector<std::string>{" [ACCESS] 127.0.0.1 \"GET /a.txt\" 200"});
}

// The server's context sets no groups: OpenSSL 3.5's defaults include the hybrid
// post-quantum key exchange, and a client that offers nothing else gets it.
TEST_F(RunningHost, ClientOfferingOnlyThePostQuantumHybridGroupGetsIt) {
    const std::string hybrid = "X25519MLKEM768";
    if (!TlsClientCanOffer(hybrid)) GTEST_SKIP() << "this test's OpenSSL cannot offer " << hybrid;
    EXPECT_EQ(TlsNegotiatedGroup(port_, hybrid), hybrid);
}

TEST_F(RunningHost, ClientThatResetsMidDownloadCostsOnlyItsConnection) {
    size_t before = host_->LogTexts().size();
    EXPECT_TRUE(TlsRequestThenReset(port_, "GET /limit.bin HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n"), Ok("text/plain; charset=utf-8", "plain text"));
    // The cut download still leaves its line, with the status of what was being sent; its
    // thread may notice the reset after the second request is done.
    std::vector<std::string> lines = LinesAfter(before);
    const auto giveUp = std::chrono::steady_clock::now() + kHangLimit;
    while (lines.size() < 2 && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        lines = LinesAfter(before);
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{" [ACCESS] 127.0.0.1 \"GET /a.txt\" 200",
                                               " [ACCESS] 127.0.0.1 \"GET /limit.bin\" 200"}));
}

TEST_F(RunningHost, SilentClientDoesNotHoldUpOthers) {
    int silent = ConnectSilently(port_);
    ASSERT_GE(silent, 0);
    EXPECT_EQ(TlsExchange(port_, "GET /a.txt HTTP/1.1\r\n\r\n"), Ok("text/plain; charset=utf-8", "plain text"));
    close(silent);
}

TEST_F(RunningHost, ConcurrentClientsEachGetTheirResponseAndOneWholeLine) {
    constexpr std::size_t kClients = 32;
    size_t before = host_->LogTexts().size();
    std::vector<std::string> replies(kClients);
    std::vector<std::thread> clients;
    for (std::size_t i = 0; i < kClients; ++i) {
        clients.emplace_back([&replies, i] { replies[i] = TlsExchange(port_, "GET /sub/a.txt HTTP/1.1\r\n\r\n"); });
    }
    for (std::thread& client : clients) client.join();
    for (const std::string& reply : replies) EXPECT_EQ(reply, Ok("text/plain; charset=utf-8", "nested"));
    EXPECT_EQ(LinesAfter(before),
              std::vector<std::string>(kClients, " [ACCESS] 127.0.0.1 \"GET /sub/a.txt\" 200"));
}

TEST(HostLifecycle, RunningOutOfDescriptorsDoesNotStopTheServer) {
    HostProcess host;
    if (host.UnderWine()) GTEST_SKIP() << "the descriptor limit of a Wine process is not this process's to set";
    WriteFileBytes(host.WebRoot() / "a.txt", "A");
    int port = FreePort();
    ASSERT_TRUE(host.Start(port)) << host.Stderr();
    ASSERT_TRUE(host.LimitDescriptors(64));
    std::vector<int> silent;
    for (int i = 0; i < 200; ++i) silent.push_back(ConnectSilently(port));
    for (int fd : silent) {
        if (fd >= 0) close(fd);
    }
    EXPECT_EQ(TlsExchange(port, "GET /a.txt HTTP/1.1\r\n\r\n"), Ok("text/plain; charset=utf-8", "A"));
    EXPECT_EQ(host.Stop(), 0);
}

TEST(HostLifecycle, HostRaisesItsDescriptorLimitToTheHardLimitSilently) {
    HostProcess host;
    if (host.UnderWine()) GTEST_SKIP() << "a Windows process has no descriptor limit to raise";
    rlimit mine{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &mine), 0);
    // The host inherits the lowered soft limit.
    rlimit lowered{256, mine.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
    bool started = host.Start(FreePort());
    setrlimit(RLIMIT_NOFILE, &mine);
    ASSERT_TRUE(started) << host.Stderr();
    EXPECT_EQ(host.DescriptorLimit(), mine.rlim_max);
    EXPECT_EQ(host.Stderr(), "");
    EXPECT_EQ(host.Stop(), 0);
}

// Moves the Wine prefix's local application data folder for the life of the object.
class WineLocalAppDataMoved {
public:
    explicit WineLocalAppDataMoved(const std::string& name) : ok_(SetShellFolder("%USERPROFILE%\\AppData\\" + name)) {
        SetWineLocalAppDataName(name);
    }
    ~WineLocalAppDataMoved() {
        SetShellFolder("%USERPROFILE%\\AppData\\Local");
        SetWineLocalAppDataName("Local");
    }
    bool ok() const { return ok_; }

private:
    static bool SetShellFolder(const std::string& value) {
        std::string command =
            "timeout 60 wine reg add 'HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell "
            "Folders' /v 'Local AppData' /t REG_EXPAND_SZ /d '" + value + "' /f >/dev/null 2>&1";
        return std::system(command.c_str()) == 0;
    }
    bool ok_;
};

TEST(HostLifecycle, LogAndWebRootUnderAFolderWithANonAsciiName) {
    std::unique_ptr<WineLocalAppDataMoved> moved;
    if (std::getenv("PELLWICK_E2E_WINE_HOST") != nullptr) {
        moved = std::make_unique<WineLocalAppDataMoved>("L\u00f6kal D\u00e4t\u00e4 \u6e2c\u8a66");
        ASSERT_TRUE(moved->ok());
    }
    HostProcess host;
    WriteFileBytes(host.WebRoot() / "a.txt", "A");
    int port = FreePort();
    ASSERT_TRUE(host.Start(port)) << host.Stderr();
    EXPECT_EQ(TlsExchange(port, "GET /a.txt HTTP/1.1\r\n\r\n"), Ok("text/plain; charset=utf-8", "A"));
    EXPECT_EQ(host.Stop(), 0);
    EXPECT_EQ(host.LogTexts(), (std::vector<std::string>{" [INFO] Server started",
                                                         " [ACCESS] 127.0.0.1 \"GET /a.txt\" 200",
                                                         " [INFO] Server stopped"}));
    EXPECT_NE(host.LogFile().string().find("\xc3"), std::string::npos) << host.LogFile();
}

TEST(HostLifecycle, ExitWhileHandshakesAreUnderWayIsClean) {
    // Connections are not waited for at a stop, so the process ends while some are in their
    // handshake; nothing may be torn down under them.
    for (int round = 0; round < 5; ++round) {
        HostProcess host;
        int port = FreePort();
        ASSERT_TRUE(host.Start(port)) << host.Stderr();
        std::vector<std::thread> clients;
        for (int i = 0; i < 40; ++i) clients.emplace_back([port] { TlsExchange(port, "GET / HTTP/1.1\r\n\r\n"); });
        EXPECT_EQ(host.Stop(), 0) << host.Stderr();
        for (std::thread& client : clients) client.join();
    }
}

TEST(HostLifecycle, ExitWaitsForALineBeingWrittenAndEndsWithCodeZero) {
    // The parking host holds the line of the download that the stop broke off inside the
    // log's lock, half written, until the process has begun to end. An exit that did not
    // wait for the lock would leave half a line; one that ran the destructors under the
    // connection thread could crash or hang.
    HostProcess host({}, HostProgram::ParkingHost);
    MakeSparseFile(host.WebRoot() / "park.bin", 52428800);
    int port = FreePort();
    ASSERT_TRUE(host.Start(port)) << host.Stderr();
    int exitCode = -2;
    std::string download = TlsExchangeWithPause(port, "GET /park.bin HTTP/1.1\r\n\r\n", [&] { exitCode = host.Stop(); });
    EXPECT_EQ(exitCode, 0) << host.Stderr();
    EXPECT_EQ(download.substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_LT(download.size(), std::size_t{52428800});
    EXPECT_EQ(host.LogTexts(), (std::vector<std::string>{" [INFO] Server started", " [INFO] Server stopped",
                                                         " [ACCESS] 127.0.0.1 \"GET /park.bin\" 200"}));
}

TEST(HostLifecycle, StartAndStopAreLoggedAndTheHostTellsWhereItServes) {
    // A kill, Ctrl+C and a closed terminal end it alike; a Windows host hears only Ctrl+C.
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        HostProcess host;
        if (host.UnderWine() && signal != SIGINT) continue;
        int port = FreePort();
        ASSERT_TRUE(host.Start(port)) << host.Stderr();
        EXPECT_EQ(host.LogTexts(), std::vector<std::string>{" [INFO] Server started"});
        std::string out = host.Stdout();
        EXPECT_NE(out.find("https://localhost:" + std::to_string(port) + "/"), std::string::npos) << out;
        EXPECT_NE(out.find("Pellwick.log"), std::string::npos) << out;
        EXPECT_EQ(host.StopWith(signal), 0) << signal;
        EXPECT_FALSE(PortAnswers(port));
        EXPECT_EQ(host.LogTexts(), (std::vector<std::string>{" [INFO] Server started", " [INFO] Server stopped"}))
            << signal;
    }
}

// Runs the program (looked up in PATH) to its end with its standard output into `output`
// and its standard error into `errors`; its exit code, or -1 when it could not be started
// or was killed.
int RunToEnd(std::vector<std::string> arguments, const fs::path& output, const fs::path& errors) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// An address the host printed for other devices, with the modules of the code drawn under
// it (light true), two rows for each line of half blocks; none when it has no code.
struct PrintedAddress {
    std::string url;
    std::vector<std::vector<bool>> light;
};

// The two module rows of a line of half blocks; false when the line is something else.
bool ReadHalfBlocks(const std::string& line, std::vector<bool>& top, std::vector<bool>& bottom) {
    struct Glyph {
        std::string text;
        bool top, bottom;
    };
    const Glyph glyphs[] = {{" ", false, false}, {"\u2580", true, false}, {"\u2584", false, true}, {"\u2588", true, true}};
    for (std::size_t at = 0; at < line.size();) {
        const Glyph* glyph = std::find_if(std::begin(glyphs), std::end(glyphs),
                                          [&](const Glyph& g) { return line.compare(at, g.text.size(), g.text) == 0; });
        if (glyph == std::end(glyphs)) return false;
        top.push_back(glyph->top);
        bottom.push_back(glyph->bottom);
        at += glyph->text.size();
    }
    return line.find_first_not_of(' ') != std::string::npos;
}

std::vector<PrintedAddress> PrintedAddresses(const std::string& out) {
    std::vector<PrintedAddress> printed;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<bool> top, bottom;
        if (line.rfind("  https://", 0) == 0) {
            printed.push_back({line.substr(2, line.find(' ', 2) - 2), {}});
        } else if (!printed.empty() && ReadHalfBlocks(line, top, bottom)) {
            printed.back().light.push_back(top);
            printed.back().light.push_back(bottom);
        }
    }
    return printed;
}

// The modules as a binary grey image (PGM), a square of pixels for each, light white.
void WriteImage(const std::vector<std::vector<bool>>& light, const fs::path& file) {
    constexpr std::size_t kPixels = 4;
    const std::size_t width = light.front().size() * kPixels;
    std::string image = "P5\n" + std::to_string(width) + " " + std::to_string(light.size() * kPixels) + "\n255\n";
    for (const std::vector<bool>& row : light) {
        std::string pixels;
        for (bool module : row) pixels.append(kPixels, module ? '\xff' : '\0');
        pixels.resize(width, '\0');  // a row cut short is the terminal's background
        for (std::size_t i = 0; i < kPixels; ++i) image += pixels;
    }
    WriteFileBytes(file, image);
}

TEST(HostLifecycle, CodesForOtherDevicesReadBackAsTheAddressesPrintedAboveThem) {
    HostProcess host(TlsFiles{"", ""});
    if (host.UnderWine()) GTEST_SKIP() << "the pair comes from this build's make-certificate, a Linux program";
    TempFolder scratch;
    // The maker's pair holds the computer's names: the throwaway pair holds only localhost,
    // so no address another device opens would get a code.
    const fs::path errors = scratch.path() / "errors.txt";
    ASSERT_EQ(RunToEnd({PELLWICK_MAKE_CERTIFICATE_BINARY, "--silent", "--folder", host.ExeFolder().string()},
                       scratch.path() / "maker.txt", errors),
              0)
        << ReadFileBytes(errors);
    ASSERT_TRUE(host.Start(FreePort())) << host.Stderr();
    // Stopped first: what it printed is then whole.
    EXPECT_EQ(host.Stop(), 0);
    const std::string out = host.Stdout();
    std::set<std::string> withCode, decoded;
    for (const PrintedAddress& address : PrintedAddresses(out)) {
        if (address.light.empty()) continue;
        withCode.insert(address.url);
        const fs::path image = scratch.path() / ("code" + std::to_string(withCode.size()) + ".pgm");
        WriteImage(address.light, image);
        const fs::path text = scratch.path() / "decoded.txt";
        EXPECT_EQ(RunToEnd({"zbarimg", "--raw", "-q", image.string()}, text, errors), 0)
            << address.url << "\n" << ReadFileBytes(errors);
        const std::string symbols = ReadFileBytes(text);
        EXPECT_EQ(symbols, address.url + "\n");
        decoded.insert(symbols.substr(0, symbols.find('\n')));
    }
    EXPECT_FALSE(withCode.empty()) << out;
    EXPECT_EQ(decoded, withCode) << out;
}

struct StartFailure {
    const char* name;
    TlsFiles files;
    std::string expected;  // stderr from its start
};

TEST(HostLifecycle, FailedStartsShowTheirBoxTextAndLeaveNothingBehind) {
    const std::string hint =
        "\n\nCreate them next to the EXE:\nopenssl genrsa -out server.key 2048\n"
        "openssl req -new -x509 -key server.key -out server.crt -days 3650 -subj \"/CN=localhost\"";
    const StartFailure cases[] = {
        {"no certificate", {"", "server.key"}, "Error\nCertificate/key not found in EXE folder:\n"},
        {"no key", {"server.crt", ""}, "Error\nCertificate/key not found in EXE folder:\n"},
        {"key of another RSA pair", {"server.crt", "other.key"},
         "TLS Error\nFailed to load private key (server.key).\nOpenSSL: error:"},
        {"EC key beside an RSA certificate", {"server.crt", "ec.key"},
         "TLS Error\nPrivate key does not match certificate.\nOpenSSL: error:"},
        {"certificate that is no PEM", {"garbage.pem", "server.key"},
         "TLS Error\nFailed to load certificate (server.crt).\nOpenSSL: error:"},
    };
    for (const StartFailure& c : cases) {
        HostProcess host(c.files);
        int port = FreePort();
        ASSERT_TRUE(host.Launch(port)) << c.name;
        EXPECT_EQ(host.WaitForExit(), 1) << c.name;
        std::string err = host.Stderr();
        EXPECT_EQ(err.substr(0, c.expected.size()), c.expected) << c.name << ": " << err;
        if (c.expected.find("not found") != std::string::npos && !host.UnderWine()) {
            EXPECT_EQ(err, c.expected + host.ExeFolder().string() + hint + "\n") << c.name;
        }
        EXPECT_FALSE(PortAnswers(port)) << c.name;
        EXPECT_TRUE(host.LogTexts().empty()) << c.name;
    }
}

// A folder or a FIFO in place of the certificate or the key is refused at once: nothing
// is left waiting for a FIFO's writer, with the signals that would end it held back.
TEST(HostLifecycle, AFolderOrAFifoInPlaceOfATlsFileIsRefused) {
    struct NotAFile {
        TlsFiles files;
        const char* name;
        bool fifo;
        std::string expected;  // stderr from its start
    };
    const std::string certificate = "TLS Error\nFailed to load certificate (server.crt).\nnot a regular file\n";
    const std::string key = "TLS Error\nFailed to load private key (server.key).\nnot a regular file\n";
    const NotAFile cases[] = {
        {{"", "server.key"}, "server.crt", false, certificate},
        {{"server.crt", ""}, "server.key", false, key},
        {{"", "server.key"}, "server.crt", true, certificate},
        {{"server.crt", ""}, "server.key", true, key},
    };
    for (const NotAFile& c : cases) {
        HostProcess host(c.files);
        if (c.fifo && host.UnderWine()) continue;
        const fs::path place = host.ExeFolder() / c.name;
        ASSERT_TRUE(c.fifo ? mkfifo(place.c_str(), 0600) == 0 : fs::create_directory(place)) << place;
        int port = FreePort();
        ASSERT_TRUE(host.Launch(port)) << place;
        EXPECT_EQ(host.WaitForExit(), 1) << place;
        EXPECT_EQ(host.Stderr(), c.expected) << place;
        EXPECT_TRUE(host.LogTexts().empty()) << place;
    }
}

TEST(HostLifecycle, PortInUseShowsTheBindTextWithItsFixedNote) {
    HostProcess holder;
    int port = FreePort();
    ASSERT_TRUE(holder.Start(port));
    HostProcess second;
    ASSERT_TRUE(second.Launch(port));
    EXPECT_EQ(second.WaitForExit(), 1);
    std::string err = second.Stderr();
    std::string head = "Error\nbind() to port " + std::to_string(port) + " failed:\n";
    std::string note =
        "\n\nNote: port 443 usually requires admin privileges, or the port is already in use.\n"
        "Try HTTPS_PORT = 8443 for testing.\n";
    EXPECT_EQ(err.substr(0, head.size()), head) << err;
    ASSERT_GE(err.size(), note.size());
    EXPECT_EQ(err.substr(err.size() - note.size()), note) << err;
    EXPECT_TRUE(second.LogTexts().empty());
    EXPECT_TRUE(PortAnswers(port));
    EXPECT_EQ(holder.Stop(), 0);
}

}  // namespace
