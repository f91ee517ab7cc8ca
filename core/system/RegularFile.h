// Files that a run keeps open and shares with other runs (the production log, the serial
// counter): opened only when they are regular files, and locked with a wait that a stop ends.
#pragma once

#include <string>

#include "core/system/StopFlag.h"

namespace kaldo {

// Opens `fileName` with `flags` (O_RDWR, O_WRONLY | O_APPEND, with or without O_CREAT), following
// its links as FollowLinks follows them. A FIFO, a device or a folder is refused before anything
// is read or written, and opening never waits for a FIFO's other end. Raises InOutError (naming
// the file), LinkNotFollowedError, or Error for a name that is no regular file.
int OpenRegularFile(const std::string& fileName, int flags);

// Takes an exclusive flock on `fd`, waiting while another program holds it. A stop requested on
// `stop` ends the wait with StoppedError; a wait that begins after the stop still gets a second,
// so that what a run writes on its way out is not lost to one that holds the lock a moment.
// Raises InOutError naming `fileName` when the lock cannot be taken.
void LockExclusive(int fd, const std::string& fileName, const StopFlag* stop);

}  // namespace kaldo
