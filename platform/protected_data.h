// Protected data: a private key kept so that only the current user on this computer can use it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The bytes as they are stored in a key file. Windows: encrypted for the current user
// with DPAPI (CryptProtectData), so that a copied folder or another account cannot use
// them. POSIX: the bytes themselves, since the key file is created readable by its owner
// alone (WriteNewFile's 0600). False, with the system's error code, on a failure.
bool ProtectForCurrentUser(std::string_view plain, std::string& stored, std::uint32_t& error);

// The bytes ProtectForCurrentUser stored; false, with the system's error code, when they
// cannot be decrypted here (Windows: another account or another computer, or damaged).
bool UnprotectForCurrentUser(std::string_view stored, std::string& plain, std::uint32_t& error);

}  // namespace platform
