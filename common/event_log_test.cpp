#include "common/event_log.h"

#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <regex>
#include <thread>
#include <vector>

#include "common/folders.h"
#include "test_support/app_data.h"
#include "test_support/temp_folder.h"
#include "test_support/threads.h"

namespace {

namespace fs = std::filesystem;

TEST(LogTimestamp, AlwaysTwentyThreeCharactersWithLeadingZeros) {
    const std::pair<platform::LocalTime, std::string> cases[] = {
        {{2026, 1, 16, 9, 41, 7, 123}, "2026-01-16 09:41:07.123"},
        {{2026, 12, 31, 23, 59, 59, 999}, "2026-12-31 23:59:59.999"},
        {{999, 1, 1, 0, 0, 0, 0}, "0999-01-01 00:00:00.000"},
        {{2027, 2, 3, 4, 5, 6, 7}, "2027-02-03 04:05:06.007"},
    };
    for (const auto& [time, text] : cases) EXPECT_EQ(FormatLogTimestamp(time), text);
    std::string now = LogTimestamp();
    EXPECT_EQ(now.size(), 23u);
    EXPECT_TRUE(std::regex_match(now, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})"))) << now;
}

// Each test starts without a log, in a profile made for tests.
class EventLog : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string refusal = ClearAppDataForTest();
        if (!refusal.empty()) GTEST_FAIL() << refusal;
    }
    std::string LogContent() { return ReadFileBytes(fs::path(GetLogFilePath())); }
};

TEST_F(EventLog, FirstLineCreatesFolderAndFileThenLinesAreAppended) {
    AppendLogLine("first");
    AppendLogLine("second");
    EXPECT_EQ(LogContent(), "first\r\nsecond\r\n");
}

TEST_F(EventLog, DeletedFileStartsAnewWithTheNextLine) {
    AppendLogLine("old");
    fs::remove(fs::path(GetLogFilePath()));
    AppendLogLine("new");
    EXPECT_EQ(LogContent(), "new\r\n");
}

// Only a thread's state shows that it waits for the lock rather than not having got
// there yet, so this runs where the system tells it (not on Windows).
TEST_F(EventLog, LinesWaitWhileTheLockIsHeld) {
    if (!SystemTellsWhenThreadsSleep()) GTEST_SKIP() << "this system does not tell when a thread sleeps";
    std::thread writer;
    {
        std::lock_guard<std::mutex> viewer(logMutex);
        std::promise<long> writing;
        std::future<long> writerId = writing.get_future();
        writer = std::thread([&writing] {
            writing.set_value(CurrentSystemThreadId());
            AppendLogLine("late");
        });
        // Once the writer sleeps it waits for the lock: it has not written, and cannot.
        EXPECT_TRUE(WaitUntilThreadSleeps(writerId.get()));
        EXPECT_FALSE(fs::exists(fs::path(GetLogFilePath())));
    }
    writer.join();
    EXPECT_EQ(LogContent(), "late\r\n");
}

TEST_F(EventLog, ConcurrentWritersNeverMixTheirBytes) {
    constexpr int kThreads = 8, kLines = 200;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) AppendLogLine(std::string(100, static_cast<char>('a' + t)));
        });
    }
    for (std::thread& w : writers) w.join();
    std::string content = LogContent();
    ASSERT_EQ(content.size(), static_cast<size_t>(kThreads * kLines * 102));
    for (size_t at = 0; at < content.size(); at += 102) {
        ASSERT_EQ(content.substr(at, 100), std::string(100, content[at])) << at;
        ASSERT_EQ(content.substr(at + 100, 2), "\r\n");
    }
}

}  // namespace
