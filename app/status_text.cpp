#include "app/status_text.h"

#include "common/folders.h"
#include "common/port.h"
#include "platform/sockets.h"
#include "server/server.h"

namespace {

const wchar_t kIndent[] = L"\n     ";

// From "Web Root:" to the end: the same in both forms but for the TLS heading.
std::wstring PathsAndDeveloper(const StatusInputs& inputs, const wchar_t* tlsHeading) {
    return std::wstring(L"Web Root:") + kIndent + inputs.webRoot + L"\n" + tlsHeading + kIndent + inputs.certPath +
           kIndent + inputs.keyPath + L"\nLog:" + kIndent + inputs.logPath +
           L"\n\nDeveloper:           " + kPublisher + L"\nDeveloper URL:    " + kDeveloperUrl;
}

std::wstring RunningText(const StatusInputs& inputs) {
    return L"Server:            RUNNING\nPort:               " + inputs.portText + L"\nPort Status:     " +
           (inputs.portAnswered ? L"LISTENING" : L"NOT LISTENING") + L"\nURL:               https://localhost/\n\n" +
           PathsAndDeveloper(inputs, L"TLS files (key and certificate):");
}

// The stopped form has no URL line; its empty line keeps "Web Root:" on line 6.
std::wstring StoppedText(const StatusInputs& inputs) {
    return L"Server:            STOPPED\nPort:               " + inputs.portText + L"\nPort Status:     " +
           (inputs.portAnswered ? L"IN USE (other app?)" : L"FREE") + L"\n\n\n" +
           PathsAndDeveloper(inputs, L"TLS expected (EXE folder):");
}

}  // namespace

std::wstring BuildStatusText(const StatusInputs& inputs) {
    return inputs.running ? RunningText(inputs) : StoppedText(inputs);
}

std::wstring CurrentStatusText() {
    StatusInputs inputs;
    inputs.portAnswered = platform::ProbeLocalPort(ListeningPort());
    inputs.running = serverState.running.load();
    inputs.portText = PortText();
    if (inputs.running) {
        inputs.webRoot = serverState.webRoot;
        inputs.certPath = serverState.certPath;
        inputs.keyPath = serverState.keyPath;
    } else {
        inputs.webRoot = GetWebRootFolder();
        inputs.certPath = TlsFilePath(L"server.crt");
        inputs.keyPath = TlsFilePath(L"server.key");
    }
    inputs.logPath = GetLogFilePath();
    return BuildStatusText(inputs);
}
