#pragma once
// Copies a queue of files on three worker threads (control, reader, writer) through a ring of
// large buffers, so that reading the next block overlaps writing the previous one. A file of a
// few blocks has nothing worth overlapping and is moved by the control thread alone, through the
// same block steps. A file that replaces an installed one is written to a temporary file beside
// it, which takes its place only once the last block is on disk: a failed or stopped copy leaves
// the installed file as it was (and removes a destination that did not exist before).
//
// kcFileCopier.cpp holds the run and the steps of a job; kcFileCopierBlocks.cpp the block plan,
// the ring and the reader's and writer's block loop.
#include <deque>

class kcThread;

// What the callback is shown.
struct CopyStatus {
    wchar_t source[260];
    wchar_t destination[260];
    unsigned long long currentSize; // size of the current file
    unsigned long long currentDone; // bytes of the current file written so far
    unsigned long long totalSize;   // sum of the sizes of all sources, taken at the start
    unsigned long long totalDone;   // bytes of finished and current files plus skipped sizes
    int done;                       // 1 in the final report
    int error;                      // 1 once a failure is reported
    int jobFlag;
    wchar_t errorText[514];
};

struct CopyJob {
    wchar_t source[260];
    wchar_t destination[260];
    int flag;
    int overlong; // a path did not fit: the run refuses to start copying
    // Taken once when the run starts.
    unsigned long long size; // of the source; 0 for a folder or a missing source
    int folder;              // the source is a folder
};

// One buffer of the ring. state: 1 empty (the reader may fill it), 0 filled (the writer may write it).
enum { kSlotFilled = 0, kSlotEmpty = 1 };
struct CopySlot {
    volatile long state;
    int last;
    void* buffer;
    unsigned capacity;
    unsigned bytes;
};

// Non-zero goes on; 0 stops the run (honoured after a skipped job and after a written block).
typedef int (*kcFileCopyCallback)(void* user, CopyStatus* status);
typedef void (*kcFileCopyBlockHook)(void* user, const void* data, unsigned long long offset, unsigned bytes,
                                    CopyStatus* status);

class kcFileCopier {
public:
    kcFileCopier(int slotCount, int noSectorIo);
    // Stops a run that is still going (without further reports) and waits for its threads.
    ~kcFileCopier();

    int AddJob(const wchar_t* source, const wchar_t* destination, int flag);
    void SetMode(int mode);
    // 0 when the copier ran already (last error ERROR_BUSY) or its thread cannot start (the
    // thread's last error); no report reaches the callback then.
    int Start(kcFileCopyCallback callback, void* user, kcFileCopyBlockHook blockHook);

    // Steps of the run.
    bool NeedsCopy(const CopyJob& job);
    bool AllocBuffers(const wchar_t* source);
    void FreeBuffers();
    // errorText holds 514 characters; which is 0 when the source failed, 1 the destination.
    bool OpenFiles(const wchar_t* source, const wchar_t* destination, int unbuffered, int* which, wchar_t* errorText);
    void CloseFiles();

    // The block plan: buffer size for a sector size (0 = read through the cache), and the read
    // request for a block of the given bytes.
    static unsigned BlockCapacity(unsigned sectorSize);
    static unsigned BlockRequest(unsigned bytes, unsigned sectorSize, int unbuffered);

    unsigned GetSectorSize() const { return m_sectorSize; }
    unsigned GetSlotCapacity() const { return m_slotCount > 0 ? m_slots[0].capacity : 0; }
    int IsSectorIoAllowed() const { return m_sectorIoAllowed; }

    // Suffix of the temporary file written beside an installed destination. The file is always
    // created new: when the name is taken (a file of the user's), the next of kTempNames - 1
    // others of the same length, ".kct00" to ".kct98", is tried.
    static constexpr wchar_t kTempSuffix[] = L".kctmp";
    static constexpr int kTempNames = 100;
    static const wchar_t* TempSuffix() { return kTempSuffix; }
    // Longest paths a job takes; a destination leaves room for the temporary file's suffix.
    static constexpr unsigned kMaxPathChars = 259;
    static constexpr unsigned kMaxDestinationChars = kMaxPathChars - (sizeof(kTempSuffix) / sizeof(wchar_t) - 1);
    // The temporary's name of that attempt (0 .. kTempNames - 1) into out (260 characters); false
    // when the destination leaves no room for the suffix or the attempt is out of range.
    static bool TempPath(const wchar_t* destination, int attempt, wchar_t* out);
    static_assert(kTempNames <= 101, "the other names have two digits, so that each is as long as the suffix");

    // The system's text for a failure code, "Error <code>" when it has none.
    static void SystemText(unsigned long code, unsigned language, wchar_t* out, int cap);

private:
    kcFileCopier(const kcFileCopier&) = delete;
    kcFileCopier& operator=(const kcFileCopier&) = delete;

    // Who moves the blocks of a file: the reader thread, the writer thread, or the control
    // thread alone doing both.
    enum Side { kReader = 1, kWriter = 2, kAlone = kReader | kWriter };

    static void ThreadMain(kcThread* thread, void* user);
    static void ReaderThread(kcThread* thread, void* user);
    static void WriterThread(kcThread* thread, void* user);

    // The run and the steps of one job.
    void RunJobs();
    void MeasureJobs();
    bool CheckPaths();
    bool RunJob(const CopyJob& job);
    bool SkipJob(const CopyJob& job);
    bool CopyFileJob(const CopyJob& job);
    bool MakeParentFolders(const wchar_t* destination);
    bool FileComplete() const;
    bool FinishFile(wchar_t* errorText);
    void DiscardFile();
    // A failed file's bytes leave the total done.
    void UncountFile();
    // Creates the temporary beside an installed destination under the first free name.
    void* CreateTemp(const wchar_t* destination);

    // The blocks of the current file.
    bool RingReady() const;
    unsigned BlockCount() const;
    void MoveFileBlocks();
    void ServeFiles(kcThread* thread, Side side);
    void MoveBlocks(Side side);
    bool WaitForSlot(const CopySlot& slot, long state, Side side);
    void HandOver(CopySlot& slot, long state, Side to);
    bool ReadBlock(CopySlot& slot, unsigned long long offset);
    bool WriteBlock(CopySlot& slot);

    void SetAbort();
    // The one failure report of a run; later failures only stop.
    void ReportFailure(const wchar_t* text);
    void ReportSystemFailure(unsigned long code, unsigned language);
    void ReportFolderFailure(const wchar_t* destination);
    void ReportOpenFailure(int which, const wchar_t* path, const wchar_t* system);
    int Report();

    int m_slotCount;
    CopySlot* m_slots;
    std::deque<CopyJob> m_jobs;
    volatile long m_finished; // the run has ended: the reader and writer leave
    kcThread* m_control;
    kcThread* m_reader;
    kcThread* m_writer;
    void* m_source;
    void* m_destination;
    void* m_temp; // the temporary file that replaces an installed destination, or null
    wchar_t m_tempPath[260]; // its name, chosen when it was created: the move and the delete take only it
    kcFileCopyCallback m_callback; // cleared by the destructor: a stopped run reports nothing more
    kcFileCopyBlockHook m_blockHook;
    void* m_user;
    CopyStatus m_status;
    volatile long m_abort;
    volatile long m_error;
    int m_mode;
    int m_sectorIoAllowed;
    unsigned m_sectorSize;
    int m_unbuffered;
    // A reader or writer about to wait for a slot (indexed by Side): only then does a hand-over signal it.
    volatile long m_waiting[3];

    // What the last file found, asked again only when it changes.
    wchar_t m_lastFolder[260]; // destination folder known to exist
    wchar_t m_lastRoot[260];   // volume whose sector size was asked last
    unsigned m_lastSectorSize;
};

// Test seam: replaces the reader's ReadFile and the writer's WriteFile (null restores them). The
// function returns non-zero on success and sets the thread's last error on failure.
typedef int (*kcFileCopyIo)(void* file, void* buffer, unsigned bytes, unsigned* done);
void kcFileCopierSetIo(kcFileCopyIo read, kcFileCopyIo write);
