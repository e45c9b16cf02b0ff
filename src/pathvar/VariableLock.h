// Runs at once, by installers and scripts side by side, each read the Path,
// append their folder and write the whole text back: the later write would
// drop the earlier one's entry. One named mutex, shared by every wayFOLD
// process of the machine, for both Path variables, makes them take turns.
#pragma once

// Waits up to 10 seconds for the turn; says why and gives false when it
// does not come. A turn left by a run that died is taken over.
bool LockVariable();
// Ends the turn, if this run holds it.
void UnlockVariable();
