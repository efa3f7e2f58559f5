// The control window's status panel: what the server does and where its files are.
#pragma once

#include <string>

#include "pellwick_names.h"  // kPublisher and kDeveloperUrl, shown at the panel's foot

// What the panel shows, gathered at one moment.
struct StatusInputs {
    bool running = false;        // the server runs
    bool portAnswered = false;   // a connect to the local port was accepted
    std::wstring portText;       // the listening port in decimal
    std::wstring webRoot;
    std::wstring certPath;
    std::wstring keyPath;
    std::wstring logPath;
};

// The panel's text: 15 lines joined by "\n", without a final line feed, "Web Root:" always
// on line 6. While running an answering port is "LISTENING"; while stopped it means some
// other program holds the port ("IN USE (other app?)").
std::wstring BuildStatusText(const StatusInputs& inputs);

// The panel's text now. While the server runs its paths are the ones the start used; while
// it is stopped they are where the next start will look. Probes the port first (up to
// 200 ms), so the answer and the running state are read close together. Main thread only.
std::wstring CurrentStatusText();
