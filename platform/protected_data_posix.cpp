#include "platform/protected_data.h"

namespace platform {

// The key file's mode (0600) is the protection here; the bytes are stored as they are.
bool ProtectForCurrentUser(std::string_view plain, std::string& stored, std::uint32_t& error) {
    stored.assign(plain);
    error = 0;
    return true;
}

bool UnprotectForCurrentUser(std::string_view stored, std::string& plain, std::uint32_t& error) {
    plain.assign(stored);
    error = 0;
    return true;
}

}  // namespace platform
