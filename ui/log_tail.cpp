#include "ui/log_tail.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "common/text.h"
#include "platform/files.h"

namespace {

// Reads the file's bytes [offset, offset + length) into `block`. False when the read failed
// or found fewer bytes: the file shrank since its size was taken.
bool ReadBlock(const platform::FileHandle& file, std::uint64_t offset, std::size_t length, std::string& block) {
    block.resize(length);
    std::size_t got = 0;
    return platform::ReadFileRange(file, offset, block.data(), length, got) && got == length;
}

// The bytes after the (LOG_TAIL_LINES + 1)th line feed from the end of the first `size`
// bytes, or all of them when there are fewer feeds. Whatever ends the file, that holds
// every one of the last LOG_TAIL_LINES lines and starts at a line's beginning. Bytes
// appended after the size was taken are left for the next reading. False when a read failed.
bool ReadTailBytes(const platform::FileHandle& file, std::uint64_t size, std::size_t blockBytes, std::string& tail) {
    std::vector<std::string> blocks;  // the last block first
    std::uint64_t start = size;
    std::size_t feeds = 0;
    bool found = false;
    while (start > 0 && !found) {
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(blockBytes, start));
        start -= length;
        std::string& block = blocks.emplace_back();
        if (!ReadBlock(file, start, length, block)) return false;
        for (std::size_t i = length; i-- > 0;) {
            if (block[i] == '\n' && ++feeds == LOG_TAIL_LINES + 1) {
                block.erase(0, i + 1);
                found = true;
                break;
            }
        }
    }
    tail.clear();
    for (auto block = blocks.rbegin(); block != blocks.rend(); ++block) tail += *block;
    return true;
}

// The lines of bytes that start at a line's beginning, by the rules of ReadLogTail, keeping
// only the last `keep`.
std::vector<std::string> LastLines(std::string_view bytes, std::size_t keep) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
    if (lines.size() > keep) lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(keep));
    return lines;
}

}  // namespace

std::vector<std::string> ReadLogTail(const std::wstring& path) {
    return ReadLogTailInBlocks(path, LOG_TAIL_BLOCK_BYTES);
}

std::vector<std::string> ReadLogTailInBlocks(const std::wstring& path, std::size_t blockBytes) {
    // Shared so that the log's writer, in this process or another, is never refused.
    const platform::FileHandle file = platform::OpenFileForSharedReading(path);
    if (!file) return {};

    std::uint64_t size = 0;
    std::string tail;
    if (!platform::FileSize(file, size)) return {};
    if (!ReadTailBytes(file, size, std::max<std::size_t>(blockBytes, 1), tail)) return {};
    return LastLines(tail, LOG_TAIL_LINES);
}

std::string ShowControlCharacters(const std::string& line) {
    std::string shown;
    shown.reserve(line.size());
    for (char c : line) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if ((byte >= 0x20 && byte != 0x7F) || byte == '\r' || byte == '\n') {
            shown += c;
            continue;
        }
        // U+2400 + byte (U+2421 for DEL) as UTF-8: E2 90 80+byte.
        const unsigned char last = byte == 0x7F ? 0xA1 : static_cast<unsigned char>(0x80 + byte);
        shown += "\xE2\x90";
        shown += static_cast<char>(last);
    }
    return shown;
}

std::string JoinLogLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text.append(line).append("\r\n");
    return text;
}

std::wstring LogViewText(const std::wstring& path) {
    std::vector<std::string> lines = ReadLogTail(path);
    for (std::string& line : lines) line = ShowControlCharacters(line);
    return Utf8ToWide(JoinLogLines(lines));
}
