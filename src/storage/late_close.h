#pragma once

namespace stanzel {

// Closes `fd` soon, on a thread of its own at a lower priority. A file that a
// rename replaces is held open until then: dropping the last reference to a
// large file frees its blocks and cached pages, milliseconds that the command
// which replaced it need not wait for.
void CloseLater(int fd);

} // namespace stanzel
