// The log tail read the plain way, front to back through the whole file: what the tests
// and the benchmark hold ReadLogTail against. Not part of the program.
#pragma once

#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ui/log_tail.h"

inline std::vector<std::string> ReadLogTailFrontToBack(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::deque<std::string> kept;
    std::string line;
    // getline splits at each line feed and yields no line for an empty piece after the last.
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        kept.push_back(std::move(line));
        if (kept.size() > LOG_TAIL_LINES) kept.pop_front();
    }
    return {kept.begin(), kept.end()};
}
