// One file of the list read as the merge reads it (text_file.h: CR bytes dropped, nothing from a
// Ctrl-Z on) and fed to the checker a line at a time.
#pragma once

#include "check/checker.h"
#include "os/os.h"

// Feeds checker the lines of file, numbered from 1 as an editor numbers them (an LF ends a line;
// a last line without one is a line too), each without its LF and cut to MAX_CHECKED_LINE bytes,
// the rest of a longer one read past. False when the file could not be read to its end; error
// then tells why. Allocates nothing for a line.
bool feed_lines(FileHandle file, Checker& checker, int& error);
