#include "ui/log_tail.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

#include "platform/files.h"
#include "test_support/temp_folder.h"
#include "ui/log_tail_reference.h"

namespace {

namespace fs = std::filesystem;

using Lines = std::vector<std::string>;

// `count` numbered lines from "line <first>" on, each ended by `ending`.
std::string NumberedLines(int first, int count, const std::string& ending = "\n") {
    std::string text;
    for (int i = first; i < first + count; ++i) text += "line " + std::to_string(i) + ending;
    return text;
}

Lines NumberedList(int first, int count) {
    Lines lines;
    for (int i = first; i < first + count; ++i) lines.push_back("line " + std::to_string(i));
    return lines;
}

class LogTail : public ::testing::Test {
protected:
    // Writes the bytes as the log and reads its tail with every block size given, expecting
    // the same lines from each.
    Lines TailOf(const std::string& bytes, std::initializer_list<std::size_t> blockSizes = {LOG_TAIL_BLOCK_BYTES}) {
        WriteFileBytes(file_, bytes);
        Lines first = ReadLogTail(file_.wstring());
        for (std::size_t size : blockSizes) EXPECT_EQ(ReadLogTailInBlocks(file_.wstring(), size), first) << size;
        return first;
    }

    TempFolder temp_;
    fs::path file_ = temp_.path() / "Pellwick.log";
};

TEST_F(LogTail, LineRules) {
    const std::pair<std::string, Lines> cases[] = {
        {"", {}},
        {"\n", {""}},
        {"\n\n", {"", ""}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\nb", {"a", "b"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"a\r\n", {"a"}},
        {"a\r\r\n", {"a\r"}},
        {"\r\n", {""}},
        {"\r", {""}},
        {"a\r", {"a"}},
        {"a\rb\n", {"a\rb"}},
        {"\ra\n", {"\ra"}},
        {"a\r\nb\r\n\r\n", {"a", "b", ""}},
        {std::string("n\0l\n", 4), {std::string("n\0l", 3)}},
    };
    for (const auto& [bytes, lines] : cases) EXPECT_EQ(TailOf(bytes, {1, 2, 3}), lines) << bytes;
}

TEST_F(LogTail, KeepsTheLastFiftyLines) {
    const struct {
        int count;
        std::string ending;
        bool finalFeed;
    } cases[] = {
        {49, "\r\n", true}, {50, "\r\n", true}, {51, "\r\n", true}, {52, "\r\n", true}, {1000, "\r\n", true},
        {50, "\n", false},  {51, "\n", false},  {52, "\n", false},  {50, "\r\n", false},
    };
    for (const auto& c : cases) {
        std::string bytes = NumberedLines(1, c.count, c.ending);
        if (!c.finalFeed) bytes.erase(bytes.size() - c.ending.size());
        int first = c.count > 50 ? c.count - 49 : 1;
        EXPECT_EQ(TailOf(bytes, {1, 7, 64}), NumberedList(first, c.count - first + 1)) << c.count << c.finalFeed;
    }
}

TEST_F(LogTail, MissingOrUnreadableGivesNothing) {
    EXPECT_TRUE(ReadLogTail((temp_.path() / "absent.log").wstring()).empty());
    EXPECT_TRUE(ReadLogTail((temp_.path() / "absent" / "Pellwick.log").wstring()).empty());
    EXPECT_TRUE(ReadLogTail(temp_.path().wstring()).empty());
    EXPECT_TRUE(ReadLogTail(L"").empty());
}

// `text` with letters put in front so that it is exactly one block long.
std::string OneBlock(const std::string& text) {
    return std::string(LOG_TAIL_BLOCK_BYTES - text.size(), 'x') + text;
}

// Block edges at the real block size; the last block read starts at size - block. Each
// is compared with the plain reading.
TEST_F(LogTail, BlockBoundariesAtTheRealBlockSize) {
    const std::size_t block = LOG_TAIL_BLOCK_BYTES;
    const std::string cases[] = {
        // "\r" ends a block, its "\n" starts the next, and is the 51st feed from the end.
        NumberedLines(1, 30) + "xx\r" + "\n" + OneBlock(NumberedLines(31, 50)).substr(1),
        // The same carriage return and line feed well inside the last fifty lines.
        NumberedLines(1, 30) + "xx\r" + "\n" + OneBlock(NumberedLines(31, 10)).substr(1),
        // The 51st feed from the end is the last byte of the block before.
        NumberedLines(1, 30) + OneBlock(NumberedLines(31, 50)),
        // Sizes of whole blocks.
        OneBlock(NumberedLines(1, 200)),
        OneBlock("") + OneBlock(NumberedLines(1, 40)),
        std::string(block, '\n'),
        std::string(2 * block, 'z'),
        // Lines longer than a block.
        std::string(block - 1, 'a') + "\r\n" + std::string(block, 'b') + "\r\n",
        NumberedLines(1, 20) + std::string(3 * block + 5, 'L') + "\n" + NumberedLines(21, 20),
        NumberedLines(1, 60) + std::string(2 * block + 1, 'L') + "\r\n",
    };
    for (const std::string& bytes : cases) {
        Lines tail = TailOf(bytes);
        EXPECT_EQ(tail, ReadLogTailFrontToBack(file_)) << bytes.size();
        EXPECT_LE(tail.size(), LOG_TAIL_LINES);
    }
}

// Many random logs of few distinct bytes, so that empty lines, lone carriage returns and
// block edges meet in every combination, each read with several block sizes.
TEST_F(LogTail, SameAsReadingFrontToBackForRandomLogs) {
    std::mt19937 random(20260116);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\r', '\n'};
    std::uniform_int_distribution<int> pick(0, 5);
    std::uniform_int_distribution<int> length(0, 400);
    for (int round = 0; round < 400; ++round) {
        std::string bytes(static_cast<std::size_t>(length(random)), ' ');
        for (char& c : bytes) c = alphabet[static_cast<std::size_t>(pick(random))];
        WriteFileBytes(file_, bytes);
        Lines expected = ReadLogTailFrontToBack(file_);
        for (std::size_t size : {1u, 2u, 3u, 4u, 5u, 8u, 13u, 64u, 4096u}) {
            ASSERT_EQ(ReadLogTailInBlocks(file_.wstring(), size), expected) << round << " " << size;
        }
    }
}

// A log of a terabyte, nearly all of it a hole, which costs nothing to make: reading it
// whole would take longer than the test may run, or run out of memory.
TEST_F(LogTail, ReadsOnlyTheEndOfAHugeLog) {
    WriteFileBytes(file_, "");
    std::error_code error;
    for (int shift : {40, 36}) {  // Wine refuses a terabyte; 64 GiB is still too much to read
        fs::resize_file(file_, std::uint64_t{1} << shift, error);
        if (!error) break;
    }
    if (error) GTEST_SKIP() << "no file this large here: " << error.message();
    std::string tail = "\n" + NumberedLines(1, 60);
    std::ofstream(file_, std::ios::binary | std::ios::in | std::ios::ate)
        .write(tail.data(), static_cast<std::streamsize>(tail.size()));
    EXPECT_EQ(ReadLogTail(file_.wstring()), NumberedList(11, 50));
}

TEST_F(LogTail, JoinEndsEveryLineWithCarriageReturnAndLineFeed) {
    EXPECT_EQ(JoinLogLines({}), "");
    EXPECT_EQ(JoinLogLines({""}), "\r\n");
    EXPECT_EQ(JoinLogLines({"a", "", "b\r"}), "a\r\n\r\nb\r\r\n");
}

TEST_F(LogTail, ViewTextIsTheJoinedTailAsWideText) {
    WriteFileBytes(file_, NumberedLines(1, 55, "\r\n") + "2026-01-16 09:30:12.045 [ACCESS] ::1 \"GET /\xC3\xBC\" 404");
    std::wstring expected;
    for (int i = 7; i <= 55; ++i) expected += L"line " + std::to_wstring(i) + L"\r\n";
    expected += L"2026-01-16 09:30:12.045 [ACCESS] ::1 \"GET /\u00FC\" 404\r\n";
    EXPECT_EQ(LogViewText(file_.wstring()), expected);
    EXPECT_EQ(LogViewText((temp_.path() / "absent.log").wstring()), L"");
}

TEST_F(LogTail, ControlCharactersButTheLineEndsAreShownAsTheirPictures) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"\0"s, "\u2400"},
        {"\x01", "\u2401"},
        {"\t", "\u2409"},
        {"\v", "\u240B"},
        {"\f", "\u240C"},
        {"\x1B[2J", "\u241B[2J"},
        {"\x1F", "\u241F"},
        {"\x7F", "\u2421"},
        {"\r", "\r"},
        {"\n", "\n"},
        {" ~", " ~"},
        {"/\xC3\xBC\xE2\x90\x80", "/\xC3\xBC\xE2\x90\x80"},  // UTF-8 and a picture sent as such stay
        {"\xC2\x85", "\xC2\x85"},                    // not a byte below 0x20: left alone
    };
    for (const auto& [line, shown] : cases) EXPECT_EQ(ShowControlCharacters(line), shown) << line;
}

TEST_F(LogTail, ViewTextShowsEveryLineAfterOneWithANul) {
    using namespace std::string_literals;
    WriteFileBytes(file_, "1 \"GET /a\0b\" 400\r\n2 \"GET /\v\f\" 404\r\n3 later\r\n"s);
    EXPECT_EQ(LogViewText(file_.wstring()), L"1 \"GET /a\u2400b\" 400\r\n2 \"GET /\u240B\u240C\" 404\r\n3 later\r\n");
}

// The log's writer appends and the viewer deletes while another reader holds the file.
TEST_F(LogTail, SharedReadingLeavesTheLogFreeToWriteAndDelete) {
    WriteFileBytes(file_, "one\r\n");
    const platform::FileHandle reader = platform::OpenFileForSharedReading(file_.wstring());
    ASSERT_TRUE(reader);
    EXPECT_TRUE(platform::AppendToFile(file_.wstring(), "two\r\n"));
    EXPECT_EQ(ReadLogTail(file_.wstring()), (Lines{"one", "two"}));
    std::error_code error;
    EXPECT_TRUE(fs::remove(file_, error)) << error.message();
}

TEST(ReadFileRange, ReadsFromTheOffsetAndStopsAtTheEnd) {
    TempFolder temp;
    fs::path file = temp.path() / "range";
    WriteFileBytes(file, "0123456789");
    const platform::FileHandle handle = platform::OpenFileForSharedReading(file.wstring());
    ASSERT_TRUE(handle);
    const struct {
        std::uint64_t offset;
        std::size_t size;
        std::string bytes;
    } cases[] = {
        {0, 10, "0123456789"}, {3, 4, "3456"}, {8, 5, "89"}, {10, 1, ""}, {11, 4, ""}, {std::uint64_t{1} << 40, 4, ""}, {5, 0, ""},
    };
    for (const auto& c : cases) {
        std::string buffer(c.size, '#');
        std::size_t read = 99;
        EXPECT_TRUE(platform::ReadFileRange(handle, c.offset, buffer.data(), c.size, read)) << c.offset;
        EXPECT_EQ(buffer.substr(0, read), c.bytes) << c.offset;
    }
    EXPECT_FALSE(platform::OpenFileForSharedReading((temp.path() / "absent").wstring()));
}

}  // namespace
