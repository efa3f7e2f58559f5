#include "server/server.h"

#include <system_error>

#include "common/event_log.h"
#include "common/folders.h"
#include "common/openssl_error.h"
#include "common/port.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/folders.h"

ServerState serverState;

namespace {

ErrorBoxFunction showErrorBox = platform::ShowErrorBox;

const wchar_t kCertificateHint[] =
    L"\n\nCreate them next to the EXE:\nopenssl genrsa -out server.key 2048\n"
    L"openssl req -new -x509 -key server.key -out server.crt -days 3650 -subj \"/CN=localhost\"";

const wchar_t kBindNote[] =
    L"\n\nNote: port 443 usually requires admin privileges, or the port is already in use.\n"
    L"Try HTTPS_PORT = 8443 for testing.";

void ShowError(platform::WindowHandle owner, const std::wstring& text) {
    showErrorBox(owner, text, L"Error");
}

void ShowSocketError(platform::WindowHandle owner, const std::wstring& what, int error) {
    ShowError(owner, what + WindowsErrorText(static_cast<std::uint32_t>(error)));
}

// The one release of what a start takes from the socket library on, used by a failed start
// and by the stop: closes the listener (which ends the accept thread's wait), joins the
// accept thread when there is one, breaks off the connections still being served, drops the
// record's reference to the context and ends the one socket library start. The process's
// own start (platform::StartNetworkForProcess) outlives that one, so the sockets of
// broken-off connections stay their threads' until each closes its own.
void ReleaseServer(ServerState& server) {
    platform::Socket listener = server.listenSocket.exchange(platform::kInvalidSocket);
    if (listener != platform::kInvalidSocket) platform::CloseListener(listener);
    if (server.acceptThread.joinable()) server.acceptThread.join();
    BreakOffLiveConnections(server.liveConnections);
    server.sslContext.reset();
    platform::NetCleanup();
}

// The TLS library opens the files itself and would wait for ever for a writer to a FIFO
// put in their place, so only a file that is not a folder, a FIFO or a device reaches it.
// A file that cannot be opened here (held by another program) is left for the library to
// report.
bool IsOtherThanAFile(const std::wstring& path) {
    if (platform::KindOfPath(path) == platform::PathKind::Folder) return true;
    const platform::FileHandle file = platform::OpenFileForReading(path);
    return file && !platform::IsDiskFile(file);
}

// Steps that load the context: false after the box has been shown.
bool LoadTlsContext(ServerState& server, platform::WindowHandle owner) {
    // Connections are not waited for: one may still be in its handshake while the process
    // exits, so the library must not free its global state from an exit handler under it.
    // Only the first initialisation of the process decides this, so this call comes first.
    OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
    // The TLS library, then the crypto library beneath it, at every start: each is a no-op
    // once the library is ready.
    OPENSSL_init_ssl(0, nullptr);
    OPENSSL_init_crypto(0, nullptr);
    server.sslContext.reset(SSL_CTX_new(TLS_server_method()));
    SSL_CTX* context = server.sslContext.get();
    if (context == nullptr) {
        ShowTlsError(owner, L"SSL_CTX_new failed.");
        return false;
    }
    if (IsOtherThanAFile(server.certPath)) {
        showErrorBox(owner, L"Failed to load certificate (server.crt).\nnot a regular file", L"TLS Error");
        return false;
    }
    if (SSL_CTX_use_certificate_file(context, WideToUtf8(server.certPath).c_str(), SSL_FILETYPE_PEM) != 1) {
        ShowTlsError(owner, L"Failed to load certificate (server.crt).");
        return false;
    }
    if (IsOtherThanAFile(server.keyPath)) {
        showErrorBox(owner, L"Failed to load private key (server.key).\nnot a regular file", L"TLS Error");
        return false;
    }
    if (SSL_CTX_use_PrivateKey_file(context, WideToUtf8(server.keyPath).c_str(), SSL_FILETYPE_PEM) != 1) {
        ShowTlsError(owner, L"Failed to load private key (server.key).");
        return false;
    }
    if (SSL_CTX_check_private_key(context) != 1) {
        ShowTlsError(owner, L"Private key does not match certificate.");
        return false;
    }
    return true;
}

// Steps that open the listener: false after the box has been shown.
bool OpenListener(ServerState& server, platform::WindowHandle owner) {
    int error = 0;
    platform::Socket listener = platform::OpenTcpSocket(error);
    if (listener == platform::kInvalidSocket) {
        ShowSocketError(owner, L"socket() failed:\n", error);
        return false;
    }
    server.listenSocket = listener;
    platform::SetListenerAddressUse(listener);
    if (!platform::BindAnyIPv4(listener, ListeningPort(), error)) {
        ShowError(owner, L"bind() to port " + PortText() + L" failed:\n" +
                             WindowsErrorText(static_cast<std::uint32_t>(error)) + kBindNote);
        return false;
    }
    if (!platform::ListenForConnections(listener, error)) {
        ShowSocketError(owner, L"listen() failed:\n", error);
        return false;
    }
    return true;
}

bool StartAcceptThread(ServerState& server, platform::WindowHandle owner) {
    server.stopRequested = false;
    try {
        server.acceptThread = std::thread(AcceptLoop, std::ref(server));
    } catch (const std::system_error&) {
        ShowError(owner, L"Failed to create the accept thread.");
        return false;
    }
    return true;
}

}  // namespace

bool StartServer(platform::WindowHandle owner) {
    ServerState& server = serverState;
    if (server.running) return true;

    server.webRoot = GetWebRootFolder();
    if (!EnsureFolder(server.webRoot)) {
        ShowError(owner, L"Failed to create Web Root directory:\n" + server.webRoot);
        return false;
    }
    server.exeFolder = GetExeFolder();
    server.certPath = TlsFilePath(L"server.crt");
    server.keyPath = TlsFilePath(L"server.key");
    if (!platform::PathExists(server.certPath) || !platform::PathExists(server.keyPath)) {
        ShowError(owner, L"Certificate/key not found in EXE folder:\n" + server.exeFolder + kCertificateHint);
        return false;
    }
    if (!platform::NetStartup()) {
        ShowError(owner, L"WSAStartup failed.");
        return false;
    }
    if (!LoadTlsContext(server, owner) || !OpenListener(server, owner) || !StartAcceptThread(server, owner)) {
        ReleaseServer(server);
        return false;
    }
    server.running = true;
    AppendLogLine(LogTimestamp() + " [INFO] Server started");
    return true;
}

void StopServer() {
    ServerState& server = serverState;
    if (!server.running) return;
    server.stopRequested = true;
    ReleaseServer(server);
    server.running = false;
    AppendLogLine(LogTimestamp() + " [INFO] Server stopped");
}

void ShowTlsError(platform::WindowHandle owner, const std::wstring& text) {
    showErrorBox(owner, text + L"\nOpenSSL: " + TakeOpenSslErrorText(), L"TLS Error");
}

void SetErrorBoxFunction(ErrorBoxFunction show) {
    showErrorBox = show;
}
