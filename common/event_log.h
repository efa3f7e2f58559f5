// The event log: one file, "Pellwick.log" in the log folder, one line per server start,
// stop and answered request. Every writer and the log viewer serialise on logMutex.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

#include "platform/local_time.h"

// The one lock of the log file: held by each appended line (open, write, close) and by
// the log viewer while it reads or deletes the file. Not recursive.
extern std::mutex logMutex;

// "YYYY-MM-DD hh:mm:ss.mmm" of the current local time: always 23 characters.
std::string LogTimestamp();

// The stamp of a given time; LogTimestamp's formatting on its own.
std::string FormatLogTimestamp(const platform::LocalTime& time);

// Appends the line and "\r\n" to the log file, creating its folder and the file when
// missing. The caller puts the time stamp in front. Nothing is reported: a line that
// cannot be written is lost and the next one tries again.
void AppendLogLine(const std::string& line);

// What writes a line's bytes to the log file under the lock: platform::AppendToFile unless
// a test host replaces it to hold a writer inside the lock.
using LogWriter = bool (*)(const std::wstring& path, std::string_view bytes);
void SetLogWriter(LogWriter writer);

// Ends the process at once with the exit code, for an exit while connection threads may
// still run (they are neither joined nor waited for). First takes the log's lock and
// never gives it back, so that no line is left half written and none starts after it;
// then ends the process without running the destructors of the process-wide records (the
// log's lock, the handshake turns, the server record) or any exit handler, which would
// tear those records down under the threads that still use them.
[[noreturn]] void EndProcessWithTheLogWhole(int exitCode);
