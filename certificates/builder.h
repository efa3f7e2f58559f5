// Building the two certificates: the authority of this computer, and the server
// certificate it signs. Both keys are ECDSA P-256.
#pragma once

#include <ctime>
#include <string>

#include "certificates/names.h"
#include "certificates/openssl_objects.h"

// The authority lives ten years; the server certificate 397 days, the longest any client's
// policy accepts, and it is made again in its last 30 days (kRenewalDays). Both begin a day
// before they are made, for clocks that lag.
inline constexpr int kAuthorityDays = 3652;
inline constexpr int kCertificateDays = 397;
inline constexpr int kRenewalDays = 30;
inline constexpr int kBackdateSeconds = 24 * 60 * 60;
inline constexpr long kSecondsPerDay = 24L * 60 * 60;

// The address ranges the authority may vouch for, beside the computer's own names:
// loopback and the private ranges, as OpenSSL's "address/mask" text.
inline constexpr const char* kPermittedAddressRanges[] = {
    "127.0.0.0/255.0.0.0",       "::1/ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff",
    "10.0.0.0/255.0.0.0",        "172.16.0.0/255.240.0.0",
    "192.168.0.0/255.255.0.0",   "fc00::/fe00::",
};

// Adds the extension in OpenSSL's configuration text (for example "critical,CA:TRUE"),
// with `issuer` for the extensions that name it; false on a failure.
bool AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value);

// A new P-256 key; null on a failure.
KeyPtr NewKey();

// The authority for the computer's names, self-signed, valid from a day before `now`: a CA
// of path length 0 whose critical name constraints permit localhost, the computer's DNS
// names and kPermittedAddressRanges only. Null on a failure.
CertificatePtr MakeAuthorityCertificate(EVP_PKEY* key, const ComputerNames& names, std::time_t now);

// The server certificate for localhost, 127.0.0.1, ::1 and the computer's names, signed by
// the authority, valid from a day before `now` for kCertificateDays but never past the
// authority's own end. Null on a failure.
CertificatePtr MakeServerCertificate(EVP_PKEY* key, X509* authority, EVP_PKEY* authorityKey,
                                     const ComputerNames& names, std::time_t now);

// Signs the certificate with the key (ECDSA, SHA-256) so that r and s of the signature both
// take their full 32 bytes. About one signature in 128 has a shorter integer: sound DER,
// which Windows accepts, but Wine's verifier refuses it as a bad signature, and a
// Pellwick.exe tried under Wine would then be refused once in a while at random.
bool SignCertificate(X509* certificate, EVP_PKEY* key);
