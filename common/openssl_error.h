// The text of OpenSSL's earliest queued error, for the boxes and details that report a
// failed OpenSSL call.
#pragma once

#include <string>

// The earliest error in this thread's OpenSSL queue as text ("" when none is queued), and
// the queue emptied: the rest belongs to the same failure, and left queued its earliest
// entry would be reported for the next, unrelated one.
std::wstring TakeOpenSslErrorText();
