// Time: the local wall-clock time, to the millisecond.
#pragma once

namespace platform {

struct LocalTime {
    unsigned year;
    unsigned month;   // 1 to 12
    unsigned day;     // 1 to 31
    unsigned hour;    // 0 to 23
    unsigned minute;
    unsigned second;
    unsigned millisecond;
};

// Windows: GetLocalTime.
LocalTime CurrentLocalTime();

}  // namespace platform
