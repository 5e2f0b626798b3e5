#pragma once

// Two signals would end the program without a word in the middle of a write:
// SIGXFSZ when a file reaches a limit on the size of the files the program
// writes (ulimit -f, a unit's LimitFSIZE=), the database's journal or a
// protocol among them, and SIGPIPE when the reader of a FIFO or a pipe (an
// export read by another program, a log collector, standard error) has gone.
// Called once at start, it makes such a write fail instead, with an error the
// program reports like any other. Qt ignores SIGPIPE too once it starts a
// program, and gives the programs it starts the default back. Windows knows
// neither signal.
namespace WriteSignals {
void reportInsteadOfEnding();
} // namespace WriteSignals
