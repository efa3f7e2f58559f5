// The status text as the window gathers it, against real sockets on the loopback port.
#include "app/status_text.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "common/folders.h"
#include "common/port.h"
#include "server/server.h"
#include "test_support/app_data.h"

namespace {

// A socket bound to a fresh loopback port, listening or not; its port in `port`. A bound
// socket that does not listen keeps the port from every other program while refusing
// connects, so "nothing listens" holds for as long as the test needs.
class PortHolder {
public:
    explicit PortHolder(bool listening) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            (listening && listen(fd_, 4) != 0)) {
            return;
        }
        port = ntohs(address.sin_port);
    }
    ~PortHolder() { close(fd_); }

    std::uint16_t port = 0;

private:
    int fd_;
};

class CurrentStatus : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string refusal = ClearAppDataForTest();
        if (!refusal.empty()) GTEST_FAIL() << refusal;
    }
    void TearDown() override { SetListeningPort(HTTPS_PORT); }
};

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wistringstream stream(text);
    for (std::wstring line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

TEST_F(CurrentStatus, StoppedFormTellsWhetherAnotherProgramHoldsThePort) {
    ASSERT_FALSE(serverState.running);
    const std::pair<bool, std::wstring> cases[] = {{false, L"FREE"}, {true, L"IN USE (other app?)"}};
    for (const auto& [listening, portStatus] : cases) {
        PortHolder held(listening);
        ASSERT_NE(held.port, 0);
        SetListeningPort(held.port);
        const std::vector<std::wstring> lines = Lines(CurrentStatusText());
        ASSERT_EQ(lines.size(), 15u);
        EXPECT_EQ(lines[0], L"Server:            STOPPED");
        EXPECT_EQ(lines[1], L"Port:               " + std::to_wstring(held.port));
        EXPECT_EQ(lines[2], L"Port Status:     " + portStatus);
        // Stopped, the paths are where the next start will look.
        EXPECT_EQ(lines[6], L"     " + GetWebRootFolder());
        EXPECT_EQ(lines[8], L"     " + TlsFilePath(L"server.crt"));
        EXPECT_EQ(lines[9], L"     " + TlsFilePath(L"server.key"));
        EXPECT_EQ(lines[11], L"     " + GetLogFilePath());
    }
}

}  // namespace
