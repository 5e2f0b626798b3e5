#pragma once

#include <QtGlobal>

namespace ProcessTree {

// Stops the process and kills every process below it, so that a command
// given up leaves nothing of its own running; the process itself is left to
// its owner to kill. One implementation per platform.
void stopAndKillDescendants(qint64 pid);

} // namespace ProcessTree
