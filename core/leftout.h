// Entries every walk of this run leaves out: the data files Scan is about to rewrite.
#pragma once

/// Leaves the entry `path` names (and, for a link, the file it leads to) out of every later
/// walk of this run: Scan's own data file, which its save changes, so a catalogue kept inside
/// the tree it describes does not report itself changed on every run. Temporary files of a save
/// that was killed, beside it, are warned about (not removed: they may be all that is left of a
/// catalogue) and left out as well.
void LeaveOutOfWalks(const char* path);
bool IsLeftOut(const char* dir, const char* name);
