#pragma once

// A file system that answers slowly, for the tests: every folder whose path starts with the
// given prefix takes the given time to open. Linked into a test, or preloaded into the program
// (LD_PRELOAD, with VISTREL_SLOW_PREFIX and VISTREL_SLOW_MS in the environment) to watch it on a
// "slow mount". A delay below 0 never answers, like a mount that stopped answering.
// Lookups of files can be slowed the same way, apart (VISTREL_SLOW_FILE_PREFIX and
// VISTREL_SLOW_FILE_MS): each open, stat, unlink and rename of a name under the prefix waits
// that long, as on a network mount with a slow lookup; with VISTREL_SLOW_FILE_WHEN naming a file,
// only while that file exists (a mount that stalls and recovers while the program runs).

extern "C" {
// A null or empty prefix slows nothing.
void vistrel_slow_folders(const char *prefix, int delayMs);
// How many slowed openings have finished, and how many have begun.
int vistrel_slow_folders_answered();
int vistrel_slow_folders_started();
// The same for lookups of files under the prefix.
void vistrel_slow_files(const char *prefix, int delayMs);
}
