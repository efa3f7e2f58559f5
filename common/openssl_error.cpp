#include "common/openssl_error.h"

#include <openssl/err.h>

#include "common/text.h"

std::wstring TakeOpenSslErrorText() {
    const unsigned long error = ERR_get_error();
    char text[256] = "";
    if (error != 0) ERR_error_string_n(error, text, sizeof text);
    ERR_clear_error();
    return Utf8ToWide(text);
}
