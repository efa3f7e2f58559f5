// The event log: one file, "Pellwick.log" in the log folder, one line per server start,
// stop and answered request. Every writer and the log viewer serialise on logMutex.
#pragma once

#include <mutex>
#include <string>

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
