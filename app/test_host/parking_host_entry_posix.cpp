#include "app/test_host/parking_host.h"

int main() {
    RunParkingHost();
}
