#include "app/console_host.h"
#include "common/event_log.h"

// The Windows build takes wide arguments (-municode), so its entry is wmain.
int wmain() {
    // Not a return: connection threads broken off by the stop may still be running.
    EndProcessWithTheLogWhole(RunConsoleHost());
}
