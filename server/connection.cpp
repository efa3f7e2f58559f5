#include "server/connection.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <string_view>

#include <openssl/bio.h>

#include "common/event_log.h"
#include "server/file_response.h"
#include "server/handshake_turns.h"
#include "server/request.h"
#include "server/responses.h"

namespace {

using Clock = std::chrono::steady_clock;

// How far a receive may wait past the head's deadline before its limit is lowered.
constexpr unsigned kDeadlineSlackMs = 250;

// What the waits of the handshake and the reads of the head may still spend.
struct HeadBudget {
    platform::Socket socket;
    Clock::time_point deadline;
    unsigned idleLimitMs;
    unsigned receiveLimitMs;  // the receive limit the socket has now
    std::size_t bytesLeft;    // of the head's size cap
};

// How long the next wait for the client may last: the idle limit, or what is left of the
// deadline when that is less. Zero once the deadline has passed.
unsigned WaitLimit(const HeadBudget& budget) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(budget.deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<unsigned>(std::min<long long>(left, budget.idleLimitMs));
}

// Before each receive, shrinks the receive limit to what is left of the deadline, so that
// a client that trickles bytes cannot stretch the head past it. One clock reading per
// receive from the socket (not per byte of the head). The limit is lowered only once it
// would overrun the deadline by more than kDeadlineSlackMs, so that a head read in a few
// milliseconds costs no setsockopt at all. False once the deadline has passed.
bool LimitReceive(HeadBudget& budget) {
    unsigned limit = WaitLimit(budget);
    if (limit == 0) return false;
    if (limit + kDeadlineSlackMs < budget.receiveLimitMs) {
        platform::SetReceiveLimit(budget.socket, limit);
        budget.receiveLimitMs = limit;
    }
    return true;
}

// OpenSSL calls this before and after every operation on the socket while the head is
// read. Past the deadline a receive fails the way a timed-out one does.
long BeforeEachReceive(BIO* bio, int operation, const char*, size_t, int, long, int result, size_t*) {
    if (operation != BIO_CB_READ) return result;
    auto& budget = *static_cast<HeadBudget*>(static_cast<void*>(BIO_get_callback_arg(bio)));
    if (!LimitReceive(budget)) {
        BIO_set_retry_read(bio);
        return -1;
    }
    return result;
}

// The handshake in turns, on a socket that does not block. False when it failed, or the
// client kept it waiting past the deadline or the idle limit.
//
// Where the costly work lies in the protocol: in the answer to each ClientHello (the key
// exchange; the signature over ServerKeyExchange in TLS 1.2, over CertificateVerify in
// TLS 1.3), the second ClientHello after a HelloRetryRequest as much as the first; and in
// TLS 1.2 in the ClientKeyExchange (an RSA decryption or the key exchange's second half),
// which comes after the server's first flight. Once the server's Finished is written
// nothing costly is left (the client's Finished, the session tickets), and OpenSSL
// refuses a client's later renegotiation. So, up to the server's Finished, the thread
// holds a turn whenever OpenSSL works on the handshake, and never while it waits: the
// socket does not block, so OpenSSL returns instead of waiting, for a receive as for a
// send the client does not take, and the turn goes back before the wait; after it the
// thread queues again behind those that asked meanwhile. The wait for the ClientHello
// comes before the first turn. A flight larger than OpenSSL's write buffer goes out in
// parts before its signature is made; a part the socket takes at once keeps the turn.
bool HandshakeInTurns(SSL* ssl, const HeadBudget& budget) {
    HandshakeTurn turn(handshakeTurns);
    for (bool sending = false;;) {
        unsigned limit = WaitLimit(budget);
        if (limit == 0 || !platform::WaitUntilReady(budget.socket, sending, limit)) return false;
        char finished;
        if (SSL_get_finished(ssl, &finished, sizeof finished) == 0) turn.Take();
        int result = SSL_accept(ssl);
        if (result == 1) return true;
        int error = SSL_get_error(ssl, result);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) return false;
        turn.GiveBack();
        sending = error == SSL_ERROR_WANT_WRITE;
    }
}

// The handshake, under the head's deadline. The socket blocks again afterwards, whatever
// the outcome.
bool Handshake(SSL* ssl, const HeadBudget& budget) {
    platform::SetBlocking(budget.socket, false);
    bool done = HandshakeInTurns(ssl, budget);
    platform::SetBlocking(budget.socket, true);
    return done;
}

// Reads one head line. The head is read one byte at a time so that nothing behind it (a
// request body) is ever consumed. False when the connection ended, failed or went idle
// before a line feed, the line grew too long or the head reached its size cap.
bool ReadHeadLine(SSL* ssl, std::string& line, std::size_t& bytesLeft) {
    line.clear();
    for (;;) {
        char byte;
        if (bytesLeft == 0 || SSL_read(ssl, &byte, 1) <= 0) return false;
        --bytesLeft;
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

// The handshake and the head, under the head's deadline and size cap. False when the
// handshake failed or the request line could not be read: nothing is answered then.
bool ReadRequest(SSL* ssl, platform::Socket socket, const ConnectionLimits& limits, Clock::time_point acceptedAt,
                 RequestLine& request) {
    HeadBudget budget{socket, acceptedAt + std::chrono::milliseconds(limits.headDeadlineMs), limits.idleLimitMs,
                      limits.idleLimitMs, limits.headSizeCap};
    if (!Handshake(ssl, budget)) return false;
    BIO* socketBio = SSL_get_rbio(ssl);
    BIO_set_callback_arg(socketBio, static_cast<char*>(static_cast<void*>(&budget)));
    BIO_set_callback_ex(socketBio, BeforeEachReceive);
    std::string line;
    bool read = ReadHeadLine(ssl, line, budget.bytesLeft);
    if (read) {
        request = ParseRequestLine(line);
        // The header lines are not needed; an unreadable one just ends the head.
        while (ReadHeadLine(ssl, line, budget.bytesLeft) && !line.empty()) {
        }
    }
    BIO_set_callback_ex(socketBio, nullptr);
    return read;
}

// Reads and throws away what the client still sends, until it ends its side or the
// linger limits are reached. Plain receives, not SSL_read: after our close notification
// the bytes mean nothing, decrypting them would cost CPU for nothing, and a key update
// among them would make OpenSSL write to a socket whose sending side is closed.
void DiscardWhatTheClientStillSends(platform::Socket socket) {
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(LINGER_LIMIT_MS);
    for (std::size_t left = LINGER_BYTES_CAP; left > 0;) {
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        if (wait <= 0) return;
        platform::SetReceiveLimit(socket, static_cast<unsigned>(wait));
        std::size_t got = platform::DiscardReceived(socket, left);
        if (got == 0) return;
        left -= got;
    }
}

void LogAccess(const std::string& client, const std::string& method, const std::string& target, int status) {
    AppendLogLine(BuildAccessLine(LogTimestamp(), client, method, target, status));
}

// Ends TLS without waiting for the peer's close notification and frees the session: the
// one release of a connection that got a session; its owner closes the socket next. After
// an answer the sending side is ended and what the client still sends (a request body, a
// second request) is read away first: a socket closed with unread bytes resets the
// connection, and the reset throws away response bytes not yet delivered.
void CloseConnection(SSL* ssl, platform::Socket socket, bool answered) {
    SSL_shutdown(ssl);
    if (answered) {
        platform::EndSending(socket);
        DiscardWhatTheClientStillSends(socket);
    }
    SSL_free(ssl);
}

struct ConnectionCloser {
    SSL* ssl;
    platform::Socket socket;
    bool answered = false;
    ~ConnectionCloser() { CloseConnection(ssl, socket, answered); }
};

}  // namespace

void HandleConnection(SSL_CTX* sslContext, const std::wstring& webRoot, platform::Socket clientSocket,
                      const platform::PeerAddress& peerAddress, const ConnectionLimits& limits) {
    // The thread takes the connection over right after its accept: the head's deadline
    // counts from here.
    const Clock::time_point acceptedAt = Clock::now();
    SSL* ssl = sslContext == nullptr ? nullptr : SSL_new(sslContext);
    if (ssl == nullptr) return;
    ConnectionCloser closer{ssl, clientSocket};

    // A client that stays silent in the handshake or the head, or stops taking the
    // response, would otherwise hold this thread for ever.
    platform::SetIdleLimit(clientSocket, limits.idleLimitMs);
    platform::SendWithoutDelay(clientSocket);
    SSL_set_fd(ssl, static_cast<int>(clientSocket));
    RequestLine request;
    if (!ReadRequest(ssl, clientSocket, limits, acceptedAt, request)) return;

    closer.answered = true;
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
