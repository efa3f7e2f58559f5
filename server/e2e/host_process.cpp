#include "server/e2e/host_process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <regex>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "server/e2e/tls_client.h"
#include "test_support/app_data.h"
#include "test_support/wait_limit.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// How often Start looks for the host's report while it waits.
constexpr int kPollStepMs = 20;

std::string wineLocalAppDataName = "Local";

// The data folder of the Windows host: LocalAppData of the Wine prefix's user.
fs::path WineLocalAppData() {
    const char* prefix = std::getenv("WINEPREFIX");
    const passwd* user = getpwuid(getuid());
    return fs::path(prefix != nullptr ? prefix : "") / "drive_c" / "users" / (user ? user->pw_name : "root") /
           "AppData" / wineLocalAppDataName;
}

std::string EnvValue(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? "" : value;
}

}  // namespace

void SetWineLocalAppDataName(const std::string& name) {
    wineLocalAppDataName = name;
}

HostProcess::HostProcess(TlsFiles files, HostProgram program)
    : wineHost_(EnvValue("PELLWICK_E2E_WINE_HOST")),
      exePath_(exeFolder_.path() / "Pellwick \u00c5\u00c4\u00d6 \u6e2c\u8a66"),
      dataPath_(dataFolder_.path() / "Data \u0141\u00f3d\u017a") {
    fs::create_directories(exePath_);
    if (program == HostProgram::ConsoleHost) {
        binary_ = UnderWine() ? fs::path(wineHost_) : fs::path(PELLWICK_HOST_BINARY);
    } else {
        binary_ = UnderWine() ? fs::path(wineHost_).parent_path() / "pellwick-parking-host.exe"
                              : fs::path(PELLWICK_PARKING_HOST_BINARY);
    }
    fs::copy_file(binary_, exePath_ / binary_.filename());
    fs::path certificates(PELLWICK_TEST_CERTIFICATES);
    if (!files.certificate.empty()) fs::copy_file(certificates / files.certificate, exePath_ / "server.crt");
    if (!files.key.empty()) fs::copy_file(certificates / files.key, exePath_ / "server.key");

    fs::path base = UnderWine() ? WineLocalAppData() : dataPath_;
    webRoot_ = base / "Pellwick" / "Web";
    logFile_ = base / "Pellwick" / "Log" / "Pellwick.log";
    // Under Wine every host shares the prefix's data folder: start from an empty one, in a
    // prefix made for tests only.
    if (UnderWine()) {
        const char* prefix = std::getenv("WINEPREFIX");
        refusal_ = ClearDataFolderForTest(
            base / "Pellwick",
            fs::path(prefix != nullptr ? prefix : "") / "drive_c" / "windows" / "pellwick-throwaway-test-profile");
        if (!refusal_.empty()) return;
    }
    std::error_code ignored;
    fs::remove_all(base / "Pellwick", ignored);
    fs::create_directories(webRoot_);
}

HostProcess::~HostProcess() {
    if (pid_ > 0) Stop();
}

bool HostProcess::Launch(int port) {
    if (!refusal_.empty()) return false;
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
    environment.push_back("XDG_DATA_HOME=" + dataPath_.string());
    environment.push_back("PELLWICK_PORT=" + std::to_string(port));
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    std::string program = exePath_ / binary_.filename();
    std::vector<std::string> arguments = UnderWine() ? std::vector<std::string>{"wine", program}
                                                     : std::vector<std::string>{program};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string out = (exePath_ / "stdout.txt").string(), err = (exePath_ / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    int spawned = UnderWine() ? posix_spawnp(&pid_, "wine", &actions, nullptr, argv.data(), envp.data())
                              : posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) pid_ = -1;
    return spawned == 0;
}

bool HostProcess::Start(int port) {
    if (!Launch(port)) return false;
    auto deadline = std::chrono::steady_clock::now() + kHangLimit;
    // The port answers a moment before the start is complete and logged; the report on
    // standard output comes after both.
    while (std::chrono::steady_clock::now() < deadline) {
        if (Stdout().find("https://localhost") != std::string::npos && PortAnswers(port)) return true;
        // One poll step of the loop, not a limit: a host that has already exited ends it.
        if (WaitMilliseconds(kPollStepMs) >= 0 || pid_ < 0) return false;
    }
    return false;
}

int HostProcess::WaitMilliseconds(int limit) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit);
    do {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return exitCode_;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < deadline);
    return -1;
}

int HostProcess::Stop() {
    return StopWith(UnderWine() ? SIGINT : SIGTERM);
}

int HostProcess::StopWith(int signal) {
    if (pid_ < 0) return exitCode_;
    kill(pid_, signal);
    if (WaitMilliseconds(kHangLimitMs) >= 0) return exitCode_;
    kill(pid_, SIGKILL);
    WaitMilliseconds(kHangLimitMs);
    return -1;
}

int HostProcess::WaitForExit() {
    if (pid_ < 0) return exitCode_;
    return WaitMilliseconds(kHangLimitMs);
}

bool HostProcess::LimitDescriptors(int count) {
    rlimit limit{static_cast<rlim_t>(count), static_cast<rlim_t>(count)};
    return pid_ > 0 && prlimit(pid_, RLIMIT_NOFILE, &limit, nullptr) == 0;
}

unsigned long long HostProcess::DescriptorLimit() const {
    rlimit limit{};
    return pid_ > 0 && prlimit(pid_, RLIMIT_NOFILE, nullptr, &limit) == 0 ? limit.rlim_cur : 0;
}

std::string HostProcess::Stdout() const {
    return ReadFileBytes(exePath_ / "stdout.txt");
}

std::string HostProcess::Stderr() const {
    if (!refusal_.empty()) return refusal_;
    return ReadFileBytes(exePath_ / "stderr.txt");
}

std::vector<std::string> HostProcess::LogTexts() const {
    static const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})");
    std::string content = ReadFileBytes(logFile_);
    std::vector<std::string> texts;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "log ends inside a line";
        if (end == std::string::npos) break;
        std::string line = content.substr(start, end - start);
        EXPECT_TRUE(line.size() >= 23 && std::regex_match(line.substr(0, 23), stamp)) << line;
        texts.push_back(line.substr(std::min<size_t>(23, line.size())));
        start = end + 2;
    }
    return texts;
}
