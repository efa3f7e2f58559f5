#include "app/test_host/parking_host.h"

// The Windows build takes wide arguments (-municode), so its entry is wmain.
int wmain() {
    RunParkingHost();
}
