#include "platform/trust_store.h"

#include <windows.h>

#include <wincrypt.h>

#include <memory>

namespace platform {

namespace {

// The one owner of an open certificate store.
struct StoreCloser {
    void operator()(void* store) const { CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
using StorePtr = std::unique_ptr<void, StoreCloser>;

StorePtr OpenUserRootStore(std::uint32_t& error) {
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    error = store == nullptr ? GetLastError() : 0;
    return StorePtr(store);
}

// Windows' own confirmation box answered No: the error comes plain or as an HRESULT.
TrustStoreOutcome FailureOf(std::uint32_t error) {
    if (error == ERROR_CANCELLED || error == static_cast<std::uint32_t>(HRESULT_FROM_WIN32(ERROR_CANCELLED))) {
        return TrustStoreOutcome::Declined;
    }
    return TrustStoreOutcome::Failed;
}

PCCERT_CONTEXT FindByThumbprint(HCERTSTORE store, const std::array<unsigned char, 20>& thumbprint) {
    CRYPT_HASH_BLOB hash;
    hash.cbData = static_cast<DWORD>(thumbprint.size());
    hash.pbData = const_cast<BYTE*>(thumbprint.data());
    return CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &hash,
                                      nullptr);
}

}  // namespace

bool HasUserRootStore() {
    return true;
}

TrustStoreOutcome TrustInUserRootStore(const std::string& der, std::uint32_t& error) {
    StorePtr store = OpenUserRootStore(error);
    if (store == nullptr) return TrustStoreOutcome::Failed;
    if (!CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING,
                                          reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_USE_EXISTING, nullptr)) {
        error = GetLastError();
        return FailureOf(error);
    }
    return TrustStoreOutcome::Done;
}

TrustStoreOutcome UntrustInUserRootStore(const std::array<unsigned char, 20>& thumbprint, std::uint32_t& error) {
    StorePtr store = OpenUserRootStore(error);
    if (store == nullptr) return TrustStoreOutcome::Failed;
    PCCERT_CONTEXT entry = FindByThumbprint(store.get(), thumbprint);
    if (entry == nullptr) return TrustStoreOutcome::Done;
    // CertDeleteCertificateFromStore frees the context, whatever its outcome.
    if (!CertDeleteCertificateFromStore(entry)) {
        error = GetLastError();
        return FailureOf(error);
    }
    // Windows writes the removal to the registry at once; Wine keeps it until the last
    // reference to the store goes, which its find never gives back. The commit writes it
    // there too, and changes nothing where it was written already.
    CertControlStore(store.get(), 0, CERT_STORE_CTRL_COMMIT, nullptr);
    return TrustStoreOutcome::Done;
}

bool IsInUserRootStore(const std::array<unsigned char, 20>& thumbprint) {
    std::uint32_t error = 0;
    StorePtr store = OpenUserRootStore(error);
    if (store == nullptr) return false;
    PCCERT_CONTEXT entry = FindByThumbprint(store.get(), thumbprint);
    if (entry == nullptr) return false;
    CertFreeCertificateContext(entry);
    return true;
}

}  // namespace platform
