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

// The line with each control character but the line ends (CR, LF) replaced by a visible
// symbol in UTF-8: 0x00-0x1F by the control pictures U+2400-U+241F, 0x7F by U+2421. The
// log keeps request targets raw, and a NUL would end the text handed to the window there,
// a vertical tab or a form feed would fake a line break.
std::string ShowControlCharacters(const std::string& line);

// Each line followed by "\r\n", as an edit control shows line breaks; "" for none.
std::string JoinLogLines(const std::vector<std::string>& lines);

// The viewer's whole text: the tail with its control characters shown, joined, as wide
// text.
std::wstring LogViewText(const std::wstring& path);
