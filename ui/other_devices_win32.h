// The "Pellwick - Other devices" window: the addresses another device can open, each with
// a QR code when the server certificate holds it; whether Windows Firewall lets Pellwick
// in; and the authority's certificate to take along, with the steps to trust it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/network_names.h"

// What the window is about: the program's folder (the authority and the server pair, and
// Pellwick.exe beside them), the adapters to show (the system's, or a test's own list) and
// the port the server listens on.
struct OtherDevicesScene {
    std::wstring folder;
    std::vector<platform::NetworkAdapter> adapters;
    std::uint16_t port = 443;
};

// Opens the window and runs its messages until it is closed; returns 0, or 1 when the
// window could not be made.
int RunOtherDevicesWindow(HINSTANCE instance, const OtherDevicesScene& scene);

// How the window starts another program (the firewall settings page): CreateProcessW of the
// command line unless a test puts its own function here.
using ProgramStarter = void (*)(const std::wstring& commandLine);
void SetProgramStarterForTests(ProgramStarter starter);
