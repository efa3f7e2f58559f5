// The platform layer against the real system: files, folders, sockets, the clock. Text
// conversion and error texts are tested through their callers in common/.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/local_time.h"
#include "platform/network_names.h"
#include "platform/sockets.h"
#include "platform/text.h"
#include "test_support/temp_folder.h"
#include "test_support/threads.h"
#include "test_support/wait_limit.h"

namespace {

namespace fs = std::filesystem;

// A name the ANSI code page of no system can spell: Latin, CJK and a character beyond
// the Basic Multilingual Plane (a surrogate pair in UTF-16).
const fs::path kForeignName = u8"journal-\u00e9t\u00e9-\u65e5\u672c-\U0001F600.log";

// std::filesystem turns wide text into a Linux path through the C locale, which knows no
// accents; a path made from char8_t is UTF-8 everywhere, and the platform layer gets it as
// the wide text the portable code passes.
std::string Utf8(const fs::path& path) {
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::wstring Wide(const fs::path& path) {
    return platform::Utf8ToWideText(Utf8(path));
}

std::string ReadWithPlatform(const std::wstring& path, std::size_t ask) {
    const platform::FileHandle file = platform::OpenFileForReading(path);
    if (!file) return "<not opened>";
    std::string buffer(ask, '\0');
    std::size_t got = 0;
    const bool read = platform::ReadFileRange(file, 0, buffer.data(), ask, got);
    return read ? buffer.substr(0, got) : "<read failed>";
}

TEST(Files, AppendCreatesTheFileUnderItsExactWideNameAndAddsToTheEnd) {
    TempFolder temp;
    const std::wstring path = Wide(temp.path() / kForeignName);
    ASSERT_TRUE(platform::AppendToFile(path, "first\r\n"));
    ASSERT_TRUE(platform::AppendToFile(path, std::string("\0second\xc3\xa9\r\n", 11)));
    ASSERT_TRUE(platform::AppendToFile(path, ""));

    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(temp.path())) {
        names.push_back(Utf8(entry.path().filename()));
    }
    EXPECT_EQ(names, std::vector<std::string>{Utf8(kForeignName)});
    EXPECT_EQ(ReadFileBytes(temp.path() / kForeignName), std::string("first\r\n\0second\xc3\xa9\r\n", 18));
}

TEST(Files, AppendFailsWhereNoFileCanBe) {
    TempFolder temp;
    WriteFileBytes(temp.path() / "file", "x");
    const std::wstring cases[] = {
        Wide(temp.path() / "missing" / "log.txt"),  // folder not there
        Wide(temp.path() / "file" / "log.txt"),     // a file where the folder should be
        Wide(temp.path()),                          // a folder itself
    };
    for (const std::wstring& path : cases) EXPECT_FALSE(platform::AppendToFile(path, "x")) << path.size();
}

TEST(Files, ReadGivesWhatIsThereUpToTheSizeAsked) {
    TempFolder temp;
    WriteFileBytes(temp.path() / "ten", "0123456789");
    WriteFileBytes(temp.path() / "empty", "");
    const struct {
        const char* name;
        std::size_t ask;
        std::string expected;
    } cases[] = {
        {"ten", 10, "0123456789"}, {"ten", 11, "0123456789"}, {"ten", 4, "0123"},
        {"ten", 0, ""},           {"empty", 1, ""},           {"missing", 1, "<not opened>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadWithPlatform(Wide(temp.path() / c.name), c.ask), c.expected) << c.name << " " << c.ask;
    }
}

TEST(Files, SizeAndKindOfAnOpenFile) {
    TempFolder temp;
    WriteFileBytes(temp.path() / "ten", "0123456789");
    const platform::FileHandle file = platform::OpenFileForReading(Wide(temp.path() / "ten"));
    ASSERT_TRUE(file);
    std::uint64_t size = 0;
    EXPECT_TRUE(platform::FileSize(file, size));
    EXPECT_EQ(size, 10u);
    EXPECT_TRUE(platform::IsDiskFile(file));
}

// A folder, and the names that open a device in any Windows folder: whatever opens must
// not pass for a file that could be served.
TEST(Files, FoldersAndDevicesAreNeverDiskFiles) {
    TempFolder temp;
    for (const char* name : {"", "NUL", "nul.txt"}) {
        const platform::FileHandle file = platform::OpenFileForReading(Wide(temp.path() / name));
        if (!file) continue;
        EXPECT_FALSE(platform::IsDiskFile(file)) << name;
    }
}

TEST(Folders, KindOfPathAndExistence) {
    TempFolder temp;
    WriteFileBytes(temp.path() / kForeignName, "x");
    fs::create_directory(temp.path() / u8"dossier-\u00e9");
    const struct {
        fs::path path;
        platform::PathKind kind;
    } cases[] = {
        {temp.path(), platform::PathKind::Folder},
        {temp.path() / u8"dossier-\u00e9", platform::PathKind::Folder},
        {temp.path() / kForeignName, platform::PathKind::File},
        {temp.path() / "missing", platform::PathKind::Missing},
        {temp.path() / "missing" / "deeper", platform::PathKind::Missing},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::KindOfPath(Wide(c.path)), c.kind) << Utf8(c.path);
        EXPECT_EQ(platform::PathExists(Wide(c.path)), c.kind != platform::PathKind::Missing) << Utf8(c.path);
    }
}

TEST(Folders, CreateFolderTreeSucceedsExactlyWhenAFolderEndsUpThere) {
    TempFolder temp;
    WriteFileBytes(temp.path() / "file", "x");
    fs::create_directory(temp.path() / "existing");
    const struct {
        fs::path path;
        bool created;
    } cases[] = {
        {temp.path() / u8"\u00e9" / u8"\u65e5" / "c", true},
        {temp.path() / "existing", true},
        {temp.path() / "file", false},
        {temp.path() / "file" / "below", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::CreateFolderTree(Wide(c.path)), c.created) << Utf8(c.path);
        EXPECT_EQ(fs::is_directory(c.path), c.created) << Utf8(c.path);
    }
}

TEST(Folders, TheSystemFoldersAreThere) {
    const std::wstring exe = platform::ExecutableFolder();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(platform::KindOfPath(exe), platform::PathKind::Folder);
    EXPECT_NE(exe.back(), platform::kPathSeparator);
    EXPECT_FALSE(platform::LocalAppDataFolder().empty());
}

// The clock agrees with the C library's local time (so the same time zone) to the
// minute; a minute that turns over meanwhile makes it look again.
// Every system has its loopback adapter: up, of its own type, with 127.0.0.1 gathered onto
// the one adapter however many entries the system lists for it.
TEST(NetworkNames, TheLoopbackAdapterIsListedOnceUpWithItsAddress) {
    const std::vector<platform::NetworkAdapter> adapters = platform::NetworkAdapters();
    const platform::IPv4Address loopback = {127, 0, 0, 1};
    int found = 0;
    for (const platform::NetworkAdapter& adapter : adapters) {
        if (std::find(adapter.addresses.begin(), adapter.addresses.end(), loopback) == adapter.addresses.end()) continue;
        ++found;
        EXPECT_TRUE(adapter.up);
        EXPECT_EQ(adapter.type, platform::AdapterType::Loopback);
        EXPECT_FALSE(adapter.name.empty());
    }
    EXPECT_EQ(found, 1);
}

TEST(LocalTime, AgreesWithTheCLibraryToTheMinute) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::time_t before = std::time(nullptr);
        const platform::LocalTime now = platform::CurrentLocalTime();
        const std::time_t after = std::time(nullptr);
        if (before / 60 != after / 60) continue;
        const std::tm expected = *std::localtime(&before);
        EXPECT_EQ(now.year, static_cast<unsigned>(expected.tm_year + 1900));
        EXPECT_EQ(now.month, static_cast<unsigned>(expected.tm_mon + 1));
        EXPECT_EQ(now.day, static_cast<unsigned>(expected.tm_mday));
        EXPECT_EQ(now.hour, static_cast<unsigned>(expected.tm_hour));
        EXPECT_EQ(now.minute, static_cast<unsigned>(expected.tm_min));
        EXPECT_LE(now.second, 59u);
        EXPECT_LE(now.millisecond, 999u);
        return;
    }
    FAIL() << "the minute kept turning over";
}

class Sockets : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::NetStartup()); }
    void TearDown() override { platform::NetCleanup(); }

    // A listening socket on a free port, picked at random so that test runs side by side
    // seldom try the same ones.
    platform::Socket Listen(std::uint16_t& port) {
        std::random_device random;
        for (int attempt = 0; attempt < 200; ++attempt) {
            int error = 0;
            const platform::Socket socket = platform::OpenTcpSocket(error);
            if (socket == platform::kInvalidSocket) return socket;
            platform::SetListenerAddressUse(socket);
            port = static_cast<std::uint16_t>(20000 + random() % 20000);
            if (platform::BindAnyIPv4(socket, port, error) && platform::ListenForConnections(socket, error)) {
                return socket;
            }
            platform::CloseListener(socket);
        }
        return platform::kInvalidSocket;
    }
};

TEST_F(Sockets, ProbeIsAcceptedAndSeenFromTheLoopback) {
    std::uint16_t port = 0;
    const platform::Socket listener = Listen(port);
    ASSERT_NE(listener, platform::kInvalidSocket);
    ASSERT_TRUE(platform::ProbeLocalPort(port));

    platform::PeerAddress peer;
    platform::AcceptFailure failure = platform::AcceptFailure::Transient;
    platform::SocketHandle client = platform::AcceptConnection(listener, peer, failure);
    ASSERT_TRUE(client);
    EXPECT_EQ(platform::PeerAddressNumericText(peer), "127.0.0.1");
    platform::SetIdleLimit(client.native(), 100);
    client = platform::SocketHandle();
    platform::CloseListener(listener);

    EXPECT_FALSE(platform::ProbeLocalPort(port));
}

TEST_F(Sockets, APortInUseCannotBeBoundAgain) {
    std::uint16_t port = 0;
    const platform::Socket listener = Listen(port);
    ASSERT_NE(listener, platform::kInvalidSocket);
    int error = 0;
    const platform::SocketHandle second(platform::OpenTcpSocket(error));
    ASSERT_TRUE(second);
    error = 0;
    EXPECT_FALSE(platform::BindAnyIPv4(second.native(), port, error));
    EXPECT_NE(error, 0);
    platform::CloseListener(listener);
}

TEST_F(Sockets, ClosingTheListenerEndsAWaitingAccept) {
    std::uint16_t port = 0;
    const platform::Socket listener = Listen(port);
    ASSERT_NE(listener, platform::kInvalidSocket);
    std::promise<long> accepting;
    std::future<long> accepter = accepting.get_future();
    std::promise<platform::AcceptFailure> ending;
    std::future<platform::AcceptFailure> result = ending.get_future();
    // Detached, so that an accept() that never returns fails this test instead of hanging it.
    std::thread([listener, accepting = std::move(accepting), ending = std::move(ending)]() mutable {
        platform::PeerAddress peer;
        platform::AcceptFailure failure = platform::AcceptFailure::Transient;
        accepting.set_value(CurrentSystemThreadId());
        const platform::SocketHandle client = platform::AcceptConnection(listener, peer, failure);
        ending.set_value(!client ? failure : platform::AcceptFailure::Transient);
    }).detach();
    // Closes once the thread sleeps in accept() where the system tells (Linux); elsewhere
    // the close may come first, which must end the accept the same way.
    WaitUntilThreadSleeps(accepter.get());
    platform::CloseListener(listener);
    ASSERT_EQ(result.wait_for(kHangLimit), std::future_status::ready);
    EXPECT_EQ(result.get(), platform::AcceptFailure::SocketGone);
}

TEST(PeerAddress, OnlyInternetAddressesHaveText) {
    platform::PeerAddress unknown{};
    EXPECT_EQ(platform::PeerAddressNumericText(unknown), "");
}

}  // namespace
