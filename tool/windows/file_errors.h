#pragma once

// Rules for the Win32 error codes that the file steps meet, as winerror.h numbers them,
// kept apart from the calls so that every host can test them.

// Antivirus, the search indexer, a sync client or a viewer may hold a file for a moment,
// and Windows then refuses to rename or delete it as denied, shared or locked. Such a
// step is tried again after pauses of 1, 2, 4 ... 512 ms, about a second in all, well
// inside the 5 s that Windows allows a process after a close event; any other error is
// final. Returns the pause before the next try, given the last one (0 before the first),
// or 0 for none.
unsigned long pauseBeforeRetry(unsigned long error, unsigned long lastPause);

// Whether an exclusive creation failed because the name exists, so that the next name
// is worth trying.
bool nameTakenBy(unsigned long error);
