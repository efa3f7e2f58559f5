// Turns to compute a handshake. A handshake's signature and key exchange cost far more CPU
// than anything else a connection does; when every connection thread computes at once,
// the system shares the processors among all of them, and a connection that arrives
// behind 60 others waits for all 60 to finish, while one that arrives a moment later may
// pass them. With turns, at most two handshakes per processor compute at once and the
// others queue in the order they asked, so every connection waits about as long as the
// others. Two rather than one: measured, one turn per processor made each handshake wait
// for its turn more often and cost more context switches, and two kept the spread of
// waiting times as narrow.
//
// A thread gives its turn back before every wait on its socket and queues again after
// it, so a client that stays silent never holds a turn.
#pragma once

// Waits for a turn, in the order the threads asked.
void TakeHandshakeTurn();

// Gives the turn back; the longest-waiting thread gets it.
void GiveHandshakeTurnBack();
