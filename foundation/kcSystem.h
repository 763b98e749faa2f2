#pragma once
// Library start-up and shut-down: the process-wide service objects, created and destroyed in
// a fixed order on the thread that owns the deliverable.

// capsFlags go to kcCaps; a nonzero ddeMode also creates the DDE endpoint. Always 1.
int kcSystemInit(unsigned capsFlags, int ddeMode);
// Destroys what kcSystemInit created; every singleton pointer is null afterwards.
void kcSystemTerm();
