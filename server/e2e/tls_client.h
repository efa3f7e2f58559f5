// A raw client for the end-to-end tests: plain TCP or TLS to 127.0.0.1, any bytes out,
// everything the server sends back in. Every wait is bounded.
#pragma once

#include <functional>
#include <string>

// Connects, completes the TLS handshake, sends the bytes and reads until the server
// closes. Returns everything received ("" when the handshake failed).
std::string TlsExchange(int port, const std::string& request);

// Like TlsExchange, but calls `pause` once the first bytes of the reply have arrived and
// reads the rest afterwards.
std::string TlsExchangeWithPause(int port, const std::string& request, const std::function<void()>& pause);

// Like TlsExchange, but gives "" when the request could not be sent whole, as a client
// does that streams a request body and gives up when the connection is reset under it.
std::string TlsExchangeWholeRequest(int port, const std::string& request);

// Sends the request, reads the first bytes of the reply, then resets the connection.
// True when some reply had arrived.
bool TlsRequestThenReset(int port, const std::string& request);

// Completes the handshake, sends the bytes and resets the connection without reading.
bool TlsSendThenReset(int port, const std::string& bytes);

// Completes the handshake, sends the bytes, ends its sending side (a TLS close notification
// and a TCP half-close) and reads the reply until the server closes.
std::string TlsSendThenEnd(int port, const std::string& bytes);

// Completes the handshake, sends `start`, then one `trickle` byte every `everyMs`
// milliseconds, never ending the head, until the server replies or closes. True when it
// did, with everything received in `reply` ("" when the server closed without a reply);
// false when the client gave up waiting.
bool TlsTrickle(int port, const std::string& start, char trickle, int everyMs, std::string& reply);

// Plain TCP: sends the bytes and resets the connection.
void PlainSendThenReset(int port, const std::string& bytes);

// What a client offers in its hello; an empty or zero field leaves the library's default.
struct ClientOffer {
    int maxVersion = 0;   // the highest protocol version, for example TLS1_2_VERSION
    std::string ciphers;  // the TLS 1.2 cipher suites (OpenSSL's names)
    std::string groups;   // the key-exchange groups (OpenSSL's names, "*" before those with a key share)
};

// Connects and completes the handshake, then ends its sending side and waits until the
// server has closed. True when the handshake succeeded.
bool TlsHandshakeThenClose(int port, const ClientOffer& offer = {});

// True when this client's OpenSSL can offer the key-exchange groups (OpenSSL's names,
// colon-separated), for example "X25519MLKEM768".
bool TlsClientCanOffer(const std::string& groups);

// Completes a handshake offering only the given key-exchange groups, then ends its sending
// side and waits until the server has closed. Returns the name of the group the server
// chose, "" when the handshake failed.
std::string TlsNegotiatedGroup(int port, const std::string& groups);

// Plain TCP: sends the bytes and reads until the server closes.
std::string PlainExchange(int port, const std::string& request);

// A TCP connection that sends the bytes (none by default) and is then kept open without
// sending more; -1 on failure.
int ConnectSilently(int port, const std::string& firstBytes = "");

// Connects with a receive buffer as small as the system allows, sends a ClientHello and
// then reads nothing: a server's first flight larger than the buffers cannot be sent whole.
// The descriptor, kept open; -1 on failure.
int SendHelloThenStopReading(int port);

// True once the descriptor's peer has closed (read returns 0 or an error) within the time.
bool WaitForPeerClose(int fd, int milliseconds);

// True when a TCP connection to the port is accepted.
bool PortAnswers(int port);

// A port on which nothing listens right now.
int FreePort();
