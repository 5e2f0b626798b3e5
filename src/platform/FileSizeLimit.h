#pragma once

// A limit on the size of the files the program writes (ulimit -f, a unit's
// LimitFSIZE=) would end the program without a word the moment a file
// reaches it, the database's journal or a protocol among them. Called once at
// start, it makes such a write fail instead, with an error the program
// reports like a full disk. Windows knows no such limit.
namespace FileSizeLimit {
void reportInsteadOfEnding();
} // namespace FileSizeLimit
