// The console host as a process of its own, in a folder of its own with its own TLS files
// and its own data folder: natively, or under Wine when PELLWICK_E2E_WINE_HOST names the
// Windows build of the host.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

#include "test_support/temp_folder.h"

// Which TLS files lie next to the executable: the file names of the test certificates
// folder copied in as server.crt and server.key ("" for none).
struct TlsFiles {
    std::string certificate = "server.crt";
    std::string key = "server.key";
};

// Under Wine: the name of the folder under the prefix user's AppData that the prefix's
// registry names as the local application data folder ("Local" unless a test moved it).
void SetWineLocalAppDataName(const std::string& name);

// Which program runs: the console host, or the test host that holds the line of a download
// of "/park.bin" broken off by the stop inside the log's lock until the exit has begun.
enum class HostProgram { ConsoleHost, ParkingHost };

class HostProcess {
public:
    explicit HostProcess(TlsFiles files = {}, HostProgram program = HostProgram::ConsoleHost);
    ~HostProcess();

    // Starts the host process on the port and returns at once; false when it could not
    // be started at all.
    bool Launch(int port);

    // Launches the host and waits until the port answers (true) or the process has ended
    // (false).
    bool Start(int port);

    // Asks the host to end as a user would (SIGTERM; Ctrl+C under Wine) and gives its exit
    // code, or -1 when it did not end in time and had to be killed.
    int Stop();

    // The same with the given signal (SIGINT is Ctrl+C, SIGHUP a closed terminal).
    int StopWith(int signal);

    // The exit code of a host that ends by itself, or -1 when it did not end in time.
    int WaitForExit();

    // Lowers the process's limit of open descriptors (natively only).
    bool LimitDescriptors(int count);

    // The process's soft limit of open descriptors (natively only); 0 when unknown.
    unsigned long long DescriptorLimit() const;

    std::string Stdout() const;
    std::string Stderr() const;
    const std::filesystem::path& WebRoot() const { return webRoot_; }
    const std::filesystem::path& LogFile() const { return logFile_; }
    const std::filesystem::path& ExeFolder() const { return exePath_; }
    bool UnderWine() const { return !wineHost_.empty(); }

    // The log's lines without their time stamps, after checking that every line has the
    // 23-character stamp and ends with "\r\n".
    std::vector<std::string> LogTexts() const;

private:
    int WaitMilliseconds(int limit);

    std::string wineHost_;
    std::filesystem::path binary_;  // the program that is copied and run
    TempFolder exeFolder_;
    TempFolder dataFolder_;
    // Both lie in folders whose names are not ASCII: every path must reach the file system
    // and OpenSSL whole.
    std::filesystem::path exePath_;
    std::filesystem::path dataPath_;
    std::filesystem::path webRoot_;
    std::filesystem::path logFile_;
    // Why the host may not run here (a Wine prefix not made for tests); "" when it may.
    std::string refusal_;
    pid_t pid_ = -1;
    int exitCode_ = -1;
};
