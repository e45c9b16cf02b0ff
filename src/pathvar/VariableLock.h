// Runs at once, by installers and scripts side by side, each read the Path,
// append their folder and write the whole text back: the later write would
// drop the earlier one's entry. A named mutex for each Path (one for the
// all-users Path, one for each user's) makes the runs that write the same
// value take turns.
#pragma once

// Waits up to 10 seconds for the turn; says why and gives false when it
// does not come. A turn left by a run that died is taken over. A lock that no
// run of this Path could have made is not waited for: the run goes on
// without it.
bool LockVariable();
// Ends the turn, if this run holds it.
void UnlockVariable();
