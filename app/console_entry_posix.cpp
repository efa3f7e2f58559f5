#include "app/console_host.h"

int main() {
    return RunConsoleHost();
}
