#pragma once

namespace zlv {

// SIGINT, SIGTERM and SIGHUP (an interrupt key, a service manager, a logout, a closed
// terminal) turned into a byte on a pipe, so that the program ends in order from its own
// loop instead of inside a signal handler, or not at all. Returns the pipe's read end;
// -1 where the platform has no such signals or no pipe could be made.
//
// `restartCalls` lets an interrupted system call go on (the window, whose threads should not
// see them fail); without it a write blocked on a full terminal or pipe returns, so that a
// terminal mode can stop at once.
int CatchStopSignals(bool restartCalls);

// Whether a stop was asked for, without waiting: the pipe has a byte.
bool StopAsked(int stopFd);

} // namespace zlv
