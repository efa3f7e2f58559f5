// The application's own data folder ("<per-user base>/Pellwick": the Web Root and the log)
// for the tests that delete or rewrite it. On Windows that folder is the real user's, so
// these tests run only in a profile made for tests.
#pragma once

#include <filesystem>
#include <string>

// The file whose presence marks a profile as made for tests. Windows: the file
// "pellwick-throwaway-test-profile" in the Windows folder, which tools/windows/wine-prefix.sh
// writes into each throwaway Wine prefix and no installation has by accident. POSIX: a file
// of that name in a data home of this process's own, to which XDG_DATA_HOME is pointed on
// the first call, before the test starts any thread (setenv beside a getenv is unsafe).
std::filesystem::path TestProfileMarker();

// Removes the application's data folder for a test and returns "". When `marker` does not
// exist it touches nothing and returns the one text that says why the test refuses to run.
std::string ClearAppDataForTest(const std::filesystem::path& marker = TestProfileMarker());

// The same for a data folder given by path, whose profile `marker` must vouch for: the
// Linux side of the cases that run the Windows host in a Wine prefix.
std::string ClearDataFolderForTest(const std::filesystem::path& folder, const std::filesystem::path& marker);
