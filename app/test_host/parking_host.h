// A console host for one test: the product's host, with a log writer that holds the line of
// a download broken off by the stop inside the log's lock, half written, until the
// process has begun to end. The exit must then wait for the rest of the line.
#pragma once

// Serves as the console host does, then ends the process as its entry does. The download
// of "/park.bin" is the one held, when the Web Root has that file.
[[noreturn]] void RunParkingHost();
