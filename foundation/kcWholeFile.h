#pragma once
// Whole files read into and written from memory.
//
// Reading: a file is taken whole into one block of the private heap, and only when its size is
// within the reader's bound, so no file, however large, asks for more memory than its kind needs.
//
// Saving: the file on disk is either the old one, whole, or the new one, whole: the bytes go to
// a new temporary file in the destination's folder, are flushed to the disk and closed, and only
// then does one rename put the temporary in the destination's place. An existing destination
// hands on its attributes (archive set, as by any write) and its creation time; the new file
// takes its folder's inherited access list, as any new file there would. A destination that is
// a link is replaced by the new file, and the link's target is left as it was. A read-only
// destination or a folder is refused at once. A destination that another handle holds open
// refuses the rename for a moment: it is tried again with growing waits for about 2 s in all
// (a failure then logs the last code and the number of tries). On any failure the temporary is
// removed and the destination is left as it was; a temporary left by a save that never finished
// (the process killed) is not removed later, since a file of that name may be the user's.
class kcFileBase;

// The open file's bytes in a block of the private heap (release with kcHeapRelease), followed by
// 8 zero bytes so it can be read as text; *size is the file's size. Null, with a log line, when
// the file is larger than maxBytes, the block cannot be had or the file was not read whole.
char* kcReadWholeFile(kcFileBase* file, int maxBytes, int* size);

enum kcSaveResult {
    KCSAVE_OK = 0,
    KCSAVE_CREATE_FAILED = 1,  // no temporary could be created beside the destination
    KCSAVE_WRITE_FAILED = 2,   // the temporary was not written, flushed or closed whole
    KCSAVE_REPLACE_FAILED = 3, // the temporary could not take the destination's place
};

// Writes size bytes (none when size is 0) to path through a temporary; logs the step that failed.
kcSaveResult kcSaveWholeFile(const wchar_t* path, const void* bytes, int size);

// Right after creating path as a new file failed: true when the name is taken (something of
// that name exists, a file or a folder, which may answer with a refusal rather than "exists"),
// so the next name is worth trying; false when the folder itself refuses. Keeps the last error.
bool kcNameTaken(const wchar_t* path);

// Name of the temporary tried at the given attempt (0, 1, ...) for path, into out (units with
// the terminator): in the destination's folder, its file name of the destination's own length,
// so the temporary's path is never longer than the destination's, and never the destination's
// own name (shorter by one unit where the length would end inside a surrogate pair). False when
// path has no file name or no further name is left for that attempt.
bool kcSaveTempName(const wchar_t* path, int attempt, wchar_t* out, int units);

// Test seam: when set, asked before each step; false makes that step fail as a failing system
// call would (a write stops halfway, a flush, close or move reports failure). The move step is
// also the replace of an existing destination, asked after its attributes are set on the temporary
// and again before each try after a wait; a refused move is not tried again.
enum kcSaveStep { KCSAVE_STEP_WRITE, KCSAVE_STEP_FLUSH, KCSAVE_STEP_CLOSE, KCSAVE_STEP_MOVE };
typedef bool (*kcSaveStepFn)(kcSaveStep step);
void kcSaveSetStepHook(kcSaveStepFn fn);
