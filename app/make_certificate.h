// What MakeCertificate.exe and make-certificate do, without their windows or terminal:
//
//   MakeCertificate [/S] [/renew] [/trust] [/untrust] [/newauthority] [/thumbprint] [/removepair]
//                   [/otherdevices]
//
// (each switch also as -S, --silent, --renew, --trust, --untrust, --new-authority,
// --other-devices; upper
// or lower case; make-certificate also takes --folder DIR in place of its own folder).
//   no switch      make the authority and the pair when there is none, renew a pair of
//                  ours when it is due (CheckCertificates)
//   /renew         renew a pair of ours even when it is not due
//   /newauthority  replace an authority that cannot serve the computer's names (without
//                  /S the user is asked instead); the old one leaves this account's store
//   /trust         after the same check, when it leaves a sound pair of ours: add the
//                  authority to the current user's Root store (Windows asks the user)
//   /untrust       only: remove exactly the authority in the folder from that store
//   /thumbprint    only: print the authority's SHA-1 thumbprint (40 upper-case hex digits)
//                  on standard output, as the installer records it
//   /removepair    only: remove server.crt and server.key when they are a pair of ours,
//                  as an uninstallation does; a pair the user placed stays
//   /otherdevices  only: the window for other devices (Windows): the addresses a phone can
//                  open, the firewall's verdict and the authority to take along
//   /S             no questions and no boxes; the exit code is the answer
// Without /S and /trust, a sound pair of ours whose authority is not yet trusted by this
// account offers the trust step, and once it is trusted, the window for other devices.
// Exit codes: kExit* (pellwick.conf).
#pragma once

#include <string>
#include <vector>

#include "certificates/folder_facts.h"

struct MakeCertificateOptions {
    bool silent = false;
    bool renew = false;
    bool trust = false;
    bool untrust = false;
    bool newAuthority = false;
    bool thumbprint = false;
    bool removePair = false;
    bool otherDevices = false;
    std::wstring folder;       // --folder DIR; empty: the executable's folder
    std::wstring badArgument;  // the first argument that is none of the above; empty when all are
};

MakeCertificateOptions ParseMakeCertificateArguments(const std::vector<std::wstring>& arguments);

// How the program talks to the user: boxes on Windows, the terminal on Linux.
enum class Tone { Information, Warning, Error };
struct MakeCertificateDialogue {
    void (*tell)(const std::wstring& text, Tone tone);
    bool (*ask)(const std::wstring& textAndQuestion);  // true for Yes
    // After a trust step that was done: tells its text and offers the window for other
    // devices; null where there is no such window (then `tell` says the text).
    void (*offerOtherDevices)(const std::wstring& trustText) = nullptr;
};

// Runs the program for the options in `folder`; returns its exit code. Silent options
// never call the dialogue.
int RunMakeCertificate(const MakeCertificateOptions& options, const std::wstring& folder,
                       const MakeCertificateDialogue& dialogue);

// The trust step for the authority: adds it to the current user's Root store (Windows asks
// the user). Its exit code, and in `text` the sentence that says the outcome.
int TrustAuthority(const AuthorityFile& authority, std::wstring& text);

// The usage text for a bad argument.
std::wstring MakeCertificateUsage(const std::wstring& badArgument);
