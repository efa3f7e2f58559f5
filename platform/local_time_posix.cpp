#include "platform/local_time.h"

#include <time.h>

namespace platform {

LocalTime CurrentLocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm parts{};
    localtime_r(&now.tv_sec, &parts);
    return LocalTime{static_cast<unsigned>(parts.tm_year + 1900),
                     static_cast<unsigned>(parts.tm_mon + 1),
                     static_cast<unsigned>(parts.tm_mday),
                     static_cast<unsigned>(parts.tm_hour),
                     static_cast<unsigned>(parts.tm_min),
                     // A leap second reads as 60; Windows never shows one.
                     static_cast<unsigned>(parts.tm_sec > 59 ? 59 : parts.tm_sec),
                     static_cast<unsigned>(now.tv_nsec / 1000000)};
}

}  // namespace platform
