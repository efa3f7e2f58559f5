// What the program's folder holds, read for the make-or-renew decision: which files are
// there, whether the pair is the authority's, their end dates and the names they hold.
#pragma once

#include <array>
#include <ctime>
#include <string>
#include <vector>

#include "certificates/names.h"
#include "certificates/openssl_objects.h"

// The authority's certificate as read once per run: itself, its DER bytes (what a
// certificate store takes) and their SHA-1, the thumbprint by which stores name it.
struct AuthorityFile {
    CertificatePtr certificate;  // null when Pellwick-authority.crt is missing or no certificate
    std::string der;
    std::array<unsigned char, 20> thumbprint{};
};

// Reads Pellwick-authority.crt of `folder`; false, with `detail`, when it is missing or
// holds no certificate.
bool ReadAuthorityFile(const std::wstring& folder, AuthorityFile& authority, std::wstring& detail);

// Takes the certificate as the folder's authority, with its DER and thumbprint; false (and
// `authority` empty) on a failure.
bool TakeAuthority(CertificatePtr certificate, AuthorityFile& authority);

// The thumbprint as Windows shows it: 40 upper-case hex digits.
std::string ThumbprintText(const std::array<unsigned char, 20>& thumbprint);

// Whether the authority's key has been opened: it is decrypted only when something is to
// be signed, so the decision first takes it as usable and is asked again when it is not.
enum class AuthorityKeyState { NotOpened, Usable, Unusable };

struct FolderFacts {
    bool hasCertificate = false;     // server.crt is there
    bool hasKey = false;             // server.key is there
    bool hasAuthorityFiles = false;  // Pellwick-authority.crt or Pellwick-authority.key is there
    bool hasAuthority = false;       // Pellwick-authority.crt holds a certificate
    AuthorityKeyState authorityKey = AuthorityKeyState::NotOpened;
    bool pairVerifies = false;  // server.crt verifies against the authority alone, at any time
    bool keyMatches = false;    // server.key is the key of server.crt
    std::time_t pairEnd = 0;       // server.crt's last moment; 0 when it cannot be read
    std::time_t authorityEnd = 0;  // the authority's last moment; 0 when there is none
    std::vector<std::string> pairNames;     // the DNS names and IPv4 addresses server.crt holds
    std::vector<std::string> namesOutside;  // the computer's DNS names the authority does not permit
};

// The facts of `folder` for the computer's names, with the authority already read.
FolderFacts ReadFolderFacts(const std::wstring& folder, const AuthorityFile& authority, const ComputerNames& computer);

// The authority's key, decrypted for this account and checked against its certificate;
// null, with `problem` for the user, when it cannot be used. The decrypted text is wiped.
KeyPtr OpenAuthorityKey(const std::wstring& folder, X509* authority, std::wstring& problem);
