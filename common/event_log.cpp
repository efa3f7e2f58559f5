#include "common/event_log.h"

#include <cstdio>

#include "common/folders.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/process.h"

std::mutex logMutex;

namespace {

LogWriter writeLog = platform::AppendToFile;

}  // namespace

std::string FormatLogTimestamp(const platform::LocalTime& time) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u.%03u", time.year, time.month,
                  time.day, time.hour, time.minute, time.second, time.millisecond);
    return buffer;
}

std::string LogTimestamp() {
    return FormatLogTimestamp(platform::CurrentLocalTime());
}

void AppendLogLine(const std::string& line) {
    // Built before the lock; written with one call, so that even another process that
    // appends to the same file cannot split the line.
    std::string bytes;
    bytes.reserve(line.size() + 2);
    bytes.append(line).append("\r\n");
    // The path and the folder are made before the lock too: the lock covers only what the
    // log viewer must not see half done, the file's open, write and close. With dozens of
    // connection threads on one CPU, a writer that loses the CPU while it holds the lock
    // makes every other writer wait for it.
    std::wstring folder = GetLogFolder();
    EnsureFolder(folder);
    std::wstring path = folder + kLogFileName;
    std::lock_guard<std::mutex> hold(logMutex);
    writeLog(path, bytes);
}

void SetLogWriter(LogWriter writer) {
    writeLog = writer;
}

void EndProcessWithTheLogWhole(int exitCode) {
    // A thread inside a line's write finishes it first; any later writer waits here until
    // the process is gone.
    logMutex.lock();
    platform::EndProcessNow(exitCode);
}
