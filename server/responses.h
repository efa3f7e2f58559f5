// The fixed responses: every answer but the 200 is one of these texts, sent whole and
// followed by the close of the connection (no Content-Length).
#pragma once

#include <string_view>

enum class FixedReply {
    BadRequest,        // ".." or a NUL byte in the target
    NoIndexDocument,   // "/" while the Web Root has no index.html file
    NotFound,          // the file cannot be opened as a file
    MethodNotAllowed,  // anything but GET and HEAD
    TooLarge,          // above the size limit, or the size cannot be had
    ReadFailed         // the read failed, or no memory for the file
};

int FixedReplyStatus(FixedReply reply);
std::string_view FixedReplyText(FixedReply reply);
