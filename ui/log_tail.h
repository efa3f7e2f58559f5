// The log viewer's text: the last lines of the log file, read from its end.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// How many of the log's last lines the viewer shows.
inline constexpr std::size_t LOG_TAIL_LINES = 50;

// How much of the file one backward read takes.
inline constexpr std::size_t LOG_TAIL_BLOCK_BYTES = 64 * 1024;

// The last LOG_TAIL_LINES lines of the file, oldest first, as UTF-8 bytes without their
// line feed and without one carriage return before it. A final piece without a line feed
// is a line; an empty piece after the last line feed is not. Only the file's end is read,
// so the cost does not grow with the log. Empty when the file is missing, cannot be
// opened or a read fails. Takes no lock: the caller holds logMutex.
std::vector<std::string> ReadLogTail(const std::wstring& path);

// ReadLogTail reading `blockBytes` (at least 1) at a time; the same lines for any size.
std::vector<std::string> ReadLogTailInBlocks(const std::wstring& path, std::size_t blockBytes);

// Each line followed by "\r\n", as an edit control shows line breaks; "" for none.
std::string JoinLogLines(const std::vector<std::string>& lines);

// The viewer's whole text: the joined tail as wide text.
std::wstring LogViewText(const std::wstring& path);
