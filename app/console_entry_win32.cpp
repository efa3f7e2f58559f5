#include "app/console_host.h"

// The Windows build takes wide arguments (-municode), so its entry is wmain.
int wmain() {
    return RunConsoleHost();
}
