#include "platform/trust_store.h"

namespace platform {

// Linux has no one store that every browser of the user reads: Chromium and each Firefox
// profile keep their own NSS database, which their own certutil changes.
TrustStoreOutcome TrustInUserRootStore(const std::string&, std::uint32_t& error) {
    error = 0;
    return TrustStoreOutcome::NotSupported;
}

TrustStoreOutcome UntrustInUserRootStore(const std::array<unsigned char, 20>&, std::uint32_t& error) {
    error = 0;
    return TrustStoreOutcome::NotSupported;
}

bool HasUserRootStore() {
    return false;
}

bool IsInUserRootStore(const std::array<unsigned char, 20>&) {
    return false;
}

}  // namespace platform
