// What the console host says about other devices: the addresses they can open, each with a
// QR code drawn in text for a terminal. Pure: the host gathers the addresses and writes.
#pragma once

#include <string>
#include <vector>

#include "ui/other_devices.h"
#include "ui/qr_code.h"

// The code with its quiet zone as UTF-8 lines of half blocks, two module rows to a line,
// each line (size + 2 * kQrQuietZone) characters wide and without a line end. The light
// modules are drawn, the dark ones left blank (see the .cpp). No lines for size 0.
std::vector<std::string> TerminalQrLines(const QrModules& code);

// The report that follows "Serving ...": a line saying that no network adapter is up when
// `anyAdapterUp` is false, then each address in its order, indented, with its adapter and
// notes, and the QR code of its URL only when the certificate holds it.
std::string OtherDevicesReport(const std::vector<DeviceAddress>& addresses, bool anyAdapterUp);
