// The certificate check before each server start, in Pellwick.exe and the console hosts.
#pragma once

#include <string>

#include "platform/message_box.h"

// How the check tells the user: a box in Pellwick.exe, a line on stderr in the console.
using CertificateNoticeFunction = void (*)(platform::WindowHandle owner, const std::wstring& text,
                                           const std::wstring& caption);
// A Yes/No question in a box; true for Yes.
using CertificateQuestionFunction = bool (*)(platform::WindowHandle owner, const std::wstring& textAndQuestion,
                                             const std::wstring& caption);

struct StartCheckDialogue {
    CertificateNoticeFunction notify;
    // Pellwick.exe's: with it, a missing pair is made (and the authority, when there is
    // none), and a new authority is offered for trust. Null on the console hosts, where a
    // missing pair is left to the start's own hint.
    CertificateQuestionFunction ask = nullptr;
};

// Renews a pair of ours in `folder` when it is due, and makes a missing one where the
// dialogue can ask. Tells the user, once, when the pair that stays has expired, or when
// the authority has ended or is about to and only a new one can help; the start goes on
// in every case.
void CheckCertificatesBeforeStart(const std::wstring& folder, platform::WindowHandle owner,
                                  const StartCheckDialogue& dialogue);

// The notice for an expired pair that stays in place: the certificate's path, and the
// reason it stays (detail "" for a pair the user placed).
std::wstring ExpiredCertificateText(const std::wstring& certPath, bool ours, const std::wstring& detail);
