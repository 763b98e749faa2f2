#pragma once
// The end of the copy: the copier's callback reports success or failure to the updating dialog.
struct CopyStatus;

// Copier callback: posts success or failure to the updating dialog (user).
int OnCopyFinished(void* user, CopyStatus* status);
