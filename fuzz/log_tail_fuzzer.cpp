// Arbitrary log files read backwards in blocks of any size must give exactly the lines that
// the plain front-to-back reading gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "ui/log_tail.h"
#include "ui/log_tail_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("pellwick-log-tail-fuzz-" + std::to_string(::getpid()) + ".log");
    // The first byte picks the block size, so that block edges fall everywhere.
    std::size_t block = 1 + data[0] % 32;
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    if (ReadLogTailInBlocks(file.wstring(), block) != ReadLogTailFrontToBack(file)) std::abort();
    if (ReadLogTail(file.wstring()) != ReadLogTailFrontToBack(file)) std::abort();
    return 0;
}
