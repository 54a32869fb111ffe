#pragma once

namespace stanzel {

// The files that renames replace are held open (`fd`, one per file) until
// the next replacement begins, and closed then on a thread of their own.
//
// Dropping the last reference to a large file frees its blocks and cached
// pages: milliseconds that the command which replaced it need not wait for.
// Freeing them as the next command starts, rather than at once, gives that
// command's new file pages the machine has just used. Memory left free for a
// second or two is handed back by a virtual machine to its host, and taking
// it again costs a fault for every page: up to a third of a save's wait in a large
// collection.
//
// A file of more than 32 MiB (an exported collection) is closed at once all
// the same: the next command would wait for it to be freed, and freeing it
// takes longer than faulting in the memory it would give.
void HoldReplacedFile(int fd);

// Starts closing every held file, without waiting.
void LetGoOfReplacedFiles();

// Returns once every file let go of is closed, so that its blocks are free
// again before a new file needs room on a full disk.
void WaitUntilReplacedFilesClosed();

} // namespace stanzel
