// The certificate check before each server start, in Pellwick.exe and the console hosts.
#pragma once

#include <string>

#include "platform/message_box.h"

// How the check tells the user: a box in Pellwick.exe, a line on stderr in the console.
using CertificateNoticeFunction = void (*)(platform::WindowHandle owner, const std::wstring& text,
                                           const std::wstring& caption);

// Renews a pair of ours in `folder` when it is due (CheckCertificates with atStart). When
// the pair that stays has expired (one the user placed, or ours that could not be
// renewed), `notify` says that every browser will refuse it; the start goes on either way.
void CheckCertificatesBeforeStart(const std::wstring& folder, platform::WindowHandle owner,
                                  CertificateNoticeFunction notify);

// The notice for an expired pair that stays in place: the certificate's path, and the
// reason it stays (detail "" for a pair the user placed).
std::wstring ExpiredCertificateText(const std::wstring& certPath, bool ours, const std::wstring& detail);
