// Trust store: the current user's store of trusted root authorities, which the browsers of
// this account consult. No administrator rights are needed for it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace platform {

enum class TrustStoreOutcome {
    Done,          // added, removed, or (for a removal) not there
    Declined,      // the user answered No to the system's confirmation box
    NotSupported,  // this system has no such store for a program to change (POSIX)
    Failed,        // `error` holds the system's error code
};

// Adds the DER certificate to the current user's Root store (Windows:
// CertAddEncodedCertificateToStore into CERT_SYSTEM_STORE_CURRENT_USER "Root"; Windows
// asks the user to confirm first). An entry that is already there is kept as it is.
TrustStoreOutcome TrustInUserRootStore(const std::string& der, std::uint32_t& error);

// Removes from the current user's Root store exactly the entry with this SHA-1
// thumbprint, and nothing else; Done when there is none.
TrustStoreOutcome UntrustInUserRootStore(const std::array<unsigned char, 20>& thumbprint, std::uint32_t& error);

// True where TrustInUserRootStore can work (Windows), false where it is NotSupported.
bool HasUserRootStore();

// True when the current user's Root store holds an entry with this SHA-1 thumbprint.
bool IsInUserRootStore(const std::array<unsigned char, 20>& thumbprint);

}  // namespace platform
