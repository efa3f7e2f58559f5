#include "ui/terminal_qr.h"

#include "common/text.h"

namespace {

// Light or dark at (x, y) of the code drawn with its quiet zone around it; outside that
// (the half row under an odd count of rows) it is the terminal's own background.
bool LightAt(const QrModules& code, int x, int y) {
    const int full = code.size + 2 * kQrQuietZone;
    if (y >= full) return false;
    const int cx = x - kQrQuietZone;
    const int cy = y - kQrQuietZone;
    const bool inCode = cx >= 0 && cy >= 0 && cx < code.size && cy < code.size;
    return !inCode || !code.Dark(cx, cy);
}

// The marks under an address, a line each: why a phone may not reach it, and what the
// certificate lacks.
std::string AddressNotes(const DeviceAddress& address) {
    std::string notes;
    for (const std::wstring& mark : AddressMarks(address)) notes += "    " + WideToUtf8(mark) + "\n";
    return notes;
}

}  // namespace

// A QR reader wants dark modules on a light ground, and most terminals are dark with a
// light foreground: so the light modules, quiet zone included, are the drawn blocks and the
// dark ones the blank background. On a light terminal the code comes out inverted, which
// many readers still take, and which no choice of blocks alone could avoid.
std::vector<std::string> TerminalQrLines(const QrModules& code) {
    static constexpr const char* kHalfBlocks[2][2] = {
        {" ", "\u2584"},       // top dark: blank, or a lower half for a light bottom
        {"\u2580", "\u2588"},  // top light: an upper half, or a full block
    };
    std::vector<std::string> lines;
    if (code.size == 0) return lines;
    const int full = code.size + 2 * kQrQuietZone;
    for (int y = 0; y < full; y += 2) {
        std::string line;
        for (int x = 0; x < full; ++x) line += kHalfBlocks[LightAt(code, x, y)][LightAt(code, x, y + 1)];
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string OtherDevicesReport(const std::vector<DeviceAddress>& addresses, bool anyAdapterUp) {
    std::string text;
    if (!anyAdapterUp) {
        text += "No network adapter is up: other devices can reach this computer only once one is connected.\n";
    }
    if (addresses.empty()) return text;
    text += "Other devices on this network can open:\n";
    for (const DeviceAddress& address : addresses) {
        text += "\n  " + WideToUtf8(address.url);
        if (!address.adapter.empty()) text += "  (" + WideToUtf8(address.adapter) + ")";
        text += "\n" + AddressNotes(address);
        if (address.cover != CertificateCover::Holds) continue;
        for (const std::string& line : TerminalQrLines(EncodeQr(WideToUtf8(address.url)))) text += line + "\n";
    }
    return text;
}
