// The listening port: the build-time constant HTTPS_PORT, which a console host may replace
// once before the server first starts.
#pragma once

#include <cstdint>
#include <string>

inline constexpr std::uint16_t HTTPS_PORT = PELLWICK_HTTPS_PORT;

// The port the server binds and the status probe tries: HTTPS_PORT unless replaced.
std::uint16_t ListeningPort();

// Replaces HTTPS_PORT for this process (the Linux console host and tests only).
void SetListeningPort(std::uint16_t port);

// The decimal text of ListeningPort(), for example "443".
std::wstring PortText();
