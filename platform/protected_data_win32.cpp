#include "platform/protected_data.h"

#include <windows.h>

#include <dpapi.h>

namespace platform {

namespace {

// DPAPI hands its output in a LocalAlloc'ed buffer that this owner frees.
struct LocalBlob {
    DATA_BLOB blob{};
    LocalBlob() = default;
    LocalBlob(const LocalBlob&) = delete;
    LocalBlob& operator=(const LocalBlob&) = delete;
    ~LocalBlob() {
        if (blob.pbData != nullptr) LocalFree(blob.pbData);
    }
};

DATA_BLOB InputBlob(std::string_view bytes) {
    DATA_BLOB blob;
    blob.cbData = static_cast<DWORD>(bytes.size());
    blob.pbData = reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()));
    return blob;
}

}  // namespace

// CRYPTPROTECT_UI_FORBIDDEN: the installer runs this silently, so no prompt may appear.
bool ProtectForCurrentUser(std::string_view plain, std::string& stored, std::uint32_t& error) {
    DATA_BLOB input = InputBlob(plain);
    LocalBlob output;
    if (!CryptProtectData(&input, L"Pellwick certificate authority key", nullptr, nullptr, nullptr,
                          CRYPTPROTECT_UI_FORBIDDEN, &output.blob)) {
        error = GetLastError();
        return false;
    }
    stored.assign(reinterpret_cast<const char*>(output.blob.pbData), output.blob.cbData);
    error = 0;
    return true;
}

bool UnprotectForCurrentUser(std::string_view stored, std::string& plain, std::uint32_t& error) {
    DATA_BLOB input = InputBlob(stored);
    LocalBlob output;
    if (!CryptUnprotectData(&input, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &output.blob)) {
        error = GetLastError();
        return false;
    }
    plain.assign(reinterpret_cast<const char*>(output.blob.pbData), output.blob.cbData);
    SecureZeroMemory(output.blob.pbData, output.blob.cbData);
    error = 0;
    return true;
}

}  // namespace platform
