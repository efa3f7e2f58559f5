#include "ui/qr_code.h"

#include <qrcodegen/qrcodegen.hpp>

QrModules EncodeQr(const std::string& text) {
    QrModules code;
    try {
        const qrcodegen::QrCode qr = qrcodegen::QrCode::encodeText(text.c_str(), qrcodegen::QrCode::Ecc::MEDIUM);
        code.size = qr.getSize();
        code.dark.reserve(static_cast<std::size_t>(code.size * code.size));
        for (int y = 0; y < code.size; ++y) {
            for (int x = 0; x < code.size; ++x) code.dark.push_back(qr.getModule(x, y));
        }
    } catch (const qrcodegen::data_too_long&) {
        code = QrModules{};
    }
    return code;
}
