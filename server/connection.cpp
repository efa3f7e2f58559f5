#include "server/connection.h"

#include <climits>
#include <string_view>

#include "common/event_log.h"
#include "server/file_response.h"
#include "server/request.h"
#include "server/responses.h"

namespace {

// Reads one head line. The head is read one byte at a time so that nothing behind it (a
// request body) is ever consumed. False when the connection ended, failed or went idle
// before a line feed, or the line grew too long.
bool ReadHeadLine(SSL* ssl, std::string& line) {
    line.clear();
    for (;;) {
        char byte;
        if (SSL_read(ssl, &byte, 1) <= 0) return false;
        switch (AddHeadLineByte(line, byte)) {
            case HeadLineStep::Complete: return true;
            case HeadLineStep::TooLong: return false;
            case HeadLineStep::Continue: break;
        }
    }
}

// Writes all the bytes; false when a write failed and the rest was dropped.
bool SendAll(SSL* ssl, std::string_view bytes) {
    const char* position = bytes.data();
    size_t remaining = bytes.size();
    while (remaining > 0) {
        int chunk = remaining > INT_MAX ? INT_MAX : static_cast<int>(remaining);
        int written = SSL_write(ssl, position, chunk);
        if (written <= 0) return false;
        position += written;
        remaining -= static_cast<size_t>(written);
    }
    return true;
}

// Sends the 200 head and the file piece by piece. A small file goes out with its head in
// one TLS record. A read that fails or comes up short once the head is out can only cut
// the connection short: the client sees fewer bytes than announced.
void SendHeadAndBody(SSL* ssl, const std::string& head, FileBody& body) {
    std::string_view piece;
    bool more = NextBodyPiece(body, piece);
    if (more && head.size() + piece.size() <= SSL3_RT_MAX_PLAIN_LENGTH) {
        std::string record;
        record.reserve(head.size() + piece.size());
        record.append(head).append(piece);
        if (!SendAll(ssl, record)) return;
        more = NextBodyPiece(body, piece);
    } else if (!SendAll(ssl, head)) {
        return;
    }
    for (; more; more = NextBodyPiece(body, piece)) {
        if (!SendAll(ssl, piece)) return;
    }
}

void LogAccess(const std::string& client, const std::string& method, const std::string& target, int status) {
    AppendLogLine(BuildAccessLine(LogTimestamp(), client, method, target, status));
}

// Ends TLS without waiting for the peer's close notification, frees the session and
// closes the socket: the one release of a connection that got a session.
void CloseConnection(SSL* ssl, platform::Socket socket) {
    SSL_shutdown(ssl);
    SSL_free(ssl);
    platform::CloseSocket(socket);
}

struct ConnectionCloser {
    SSL* ssl;
    platform::Socket socket;
    ~ConnectionCloser() { CloseConnection(ssl, socket); }
};

}  // namespace

void HandleConnection(SSL_CTX* sslContext, const std::wstring& webRoot, platform::Socket clientSocket,
                      const platform::PeerAddress& peerAddress, unsigned idleLimitMs) {
    SSL* ssl = sslContext == nullptr ? nullptr : SSL_new(sslContext);
    if (ssl == nullptr) {
        platform::CloseSocket(clientSocket);
        return;
    }
    ConnectionCloser closer{ssl, clientSocket};

    // A client that stays silent in the handshake or the head, or stops taking the
    // response, would otherwise hold this thread for ever.
    platform::SetIdleLimit(clientSocket, idleLimitMs);
    platform::SendWithoutDelay(clientSocket);
    SSL_set_fd(ssl, static_cast<int>(clientSocket));
    if (SSL_accept(ssl) != 1) return;

    std::string line;
    if (!ReadHeadLine(ssl, line)) return;
    RequestLine request = ParseRequestLine(line);
    // The header lines are not needed; an unreadable one just ends the head.
    while (ReadHeadLine(ssl, line) && !line.empty()) {
    }

    bool isHead = request.method == "HEAD";
    std::string client = ClientAddressText(peerAddress);
    if (!IsServedMethod(request.method)) {
        SendAll(ssl, FixedReplyText(FixedReply::MethodNotAllowed));
        LogAccess(client, request.method, request.target, FixedReplyStatus(FixedReply::MethodNotAllowed));
        return;
    }

    FileResponse response = ServeTarget(webRoot, request.target);
    if (response.status == 200 && !isHead) {
        SendHeadAndBody(ssl, response.head, response.body);
    } else {
        SendAll(ssl, response.head);
    }
    // The file is closed before the log waits for its lock.
    response.body = FileBody();
    LogAccess(client, request.method, request.target, response.status);
}
