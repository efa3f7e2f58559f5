// The status text as the window gathers it, against real sockets on the loopback port.
#include "app/status_text.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

    // The stopped form with the paths where the next start will look.
    static std::wstring StoppedText(std::uint16_t port, bool inUse) {
        return BuildStatusText({false, inUse, std::to_wstring(port), GetWebRootFolder(), TlsFilePath(L"server.crt"),
                                TlsFilePath(L"server.key"), GetLogFilePath()});
    }
};

TEST_F(CurrentStatus, StoppedFormTellsWhetherAnotherProgramHoldsThePort) {
    ASSERT_FALSE(serverState.running);
    const std::pair<bool, std::wstring> cases[] = {{false, L"FREE"}, {true, L"IN USE (other app?)"}};
    for (const auto& [listening, portStatus] : cases) {
        PortHolder held(listening);
        ASSERT_NE(held.port, 0);
        SetListeningPort(held.port);
        std::wstring text = CurrentStatusText();
        EXPECT_EQ(text, StoppedText(held.port, listening));
        EXPECT_NE(text.find(L"\nPort Status:     " + portStatus + L"\n"), std::wstring::npos);
    }
}

}  // namespace
