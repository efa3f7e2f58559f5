// A QR code's modules for a text, from the QR Code generator library: the encoding is the
// library's; this only hands its grid to the window and the terminal that draw it.
#pragma once

#include <string>
#include <vector>

// The modules, row by row, without the quiet zone; `size` 0 when the text does not fit.
struct QrModules {
    int size = 0;
    std::vector<bool> dark;  // size * size, row after row

    bool Dark(int x, int y) const { return dark[static_cast<std::size_t>(y * size + x)]; }
};

// The quiet zone a reader needs around the code, in modules.
inline constexpr int kQrQuietZone = 4;

// The smallest code for the UTF-8 text at error correction level M (a phone's camera reads
// it from a screen at an angle); size 0 when the text is too long for any version.
QrModules EncodeQr(const std::string& text);
