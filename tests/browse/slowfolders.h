#pragma once

// A file system that answers slowly, for the tests: every folder whose path starts with the
// given prefix takes the given time to open. Linked into a test, or preloaded into the program
// (LD_PRELOAD, with VISTREL_SLOW_PREFIX and VISTREL_SLOW_MS in the environment) to watch it on a
// "slow mount". A delay below 0 never answers, like a mount that stopped answering.

extern "C" {
// A null or empty prefix slows nothing.
void vistrel_slow_folders(const char *prefix, int delayMs);
// How many slowed openings have finished, and how many have begun.
int vistrel_slow_folders_answered();
int vistrel_slow_folders_started();
}
