// The few services of the operating system that the programs need beyond
// standard C++ files: telling whether two names are one file, removing a
// file that a failed write left behind without touching anything else, and
// having a write past a file-size limit fail instead of killing the process.
// Everything that differs between systems is kept here.
#pragma once

#include <cstdio>

namespace bank {

// A write past the file-size limit then fails like any other write,
// instead of ending the process by a signal.
void ignore_file_size_signal();

// True when `path` names the same file as the open `file` (a hard or
// symbolic link to it included). False when `path` does not exist yet.
bool names_open_file(const char* path, std::FILE* file);

// Flushes and closes `file`, which was opened as `path`. `written` tells
// whether every write to it succeeded. When anything was lost, no partial
// file may stay: a regular file is cut to zero length through the open
// file, and `path` is removed only while it still names that very file. A
// symbolic link, a device, a pipe, or a path that now names another file is
// never removed. Returns true when the whole output reached the file. The
// file should be unbuffered, so that nothing is left to be written after
// the cut.
bool close_output(std::FILE* file, const char* path, bool written);

}  // namespace bank
