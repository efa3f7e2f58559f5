// The request head, read and cut into its pieces; the access line that records the answer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/sockets.h"

// The longest head line accepted, carriage returns not counted.
inline constexpr std::size_t MAX_HEAD_LINE = 8192;

// The three fields of the request line, as bytes. The version is kept but never examined.
struct RequestLine {
    std::string method;
    std::string target;
    std::string version;
};

enum class HeadLineStep { Continue, Complete, TooLong };

// Takes one byte of a head line into `line`: a carriage return is dropped wherever it
// stands, a line feed completes the line, any other byte is appended and may make the
// line too long.
HeadLineStep AddHeadLineByte(std::string& line, char byte);

// Method before the first space, target up to the second, version after it; all three
// empty when the line has fewer than two spaces.
RequestLine ParseRequestLine(std::string_view line);

// Exactly "GET" and "HEAD", byte for byte.
bool IsServedMethod(std::string_view method);

// The numeric peer address without port, or "unknown".
std::string ClientAddressText(const platform::PeerAddress& peerAddress);

// `timestamp` [ACCESS] client "method target" status, without the line end.
std::string BuildAccessLine(std::string_view timestamp, std::string_view client, std::string_view method,
                            std::string_view target, int status);
