// The console host: the server without windows, for Linux and for tests.
#pragma once

// Starts the server, prints where it serves from, serves until SIGINT or SIGTERM (Ctrl+C
// on Windows), then stops it. Returns 0, or 1 after printing why a start failed. The
// caller ends the process with EndProcessWithTheLogWhole: connections broken off by the
// stop may still be running.
// PELLWICK_PORT, when it holds a number from 1 to 65535, replaces the built-in port.
int RunConsoleHost();
