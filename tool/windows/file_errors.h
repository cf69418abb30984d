#pragma once

// Rules for the Win32 error codes that the file steps meet, as winerror.h numbers them,
// kept apart from the calls so that every host can test them.

// Antivirus, the search indexer, a sync client or a viewer may hold a file for a moment,
// and Windows then refuses to rename or delete it as denied, shared or locked. Such a
// step is worth trying again; any other error is final.
bool heldForAMoment(unsigned long error);

// Whether an exclusive creation failed because the name exists, so that the next name
// is worth trying.
bool nameTakenBy(unsigned long error);
