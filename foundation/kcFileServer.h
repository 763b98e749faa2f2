#pragma once
// The single file server: opens a plain path or "group/member" through pre-opened memory
// files, loaded archives, 256 slots of folders and archives, group lists and the file system.
#include <list>
#include <map>
#include <string>
#include <vector>

class kcArchive;
class kcFileBase;
class kcMemFile;
class kcThread;

// Server flags of Open, ReadWhole and Find.
enum {
    KCFS_ORDER_MASK = 0xFFFF,   // low bits: lookup order
    KCFS_PLAIN = 1,             // plain file only
    KCFS_ARCHIVES = 2,          // archives only
    KCFS_FOLDERS_FIRST = 3,     // folders, then archives
    KCFS_ARCHIVES_FIRST = 4,    // archives, then folders
    KCFS_CACHE = 0x10,
    KCFS_MEMORY_COPY = 0x110,   // Open: hand back a kcMemFile copy (both bits)
    KCFS_CREATE = 0x20,         // Open: create or empty a plain file for writing
    KCFS_QUIET = 0x10000,       // no "Open file error" message
};

struct kcFileServerSlot {
    wchar_t name[40]; // compared with the group case-insensitively
    wchar_t folder[260];
    int useFolder;
};

struct kcFileGroupMember {
    int archiveIndex; // slot number, -1 none
    wchar_t folder[64];
    int useFolder;
};

struct kcFileGroup {
    wchar_t name[32];
    std::vector<kcFileGroupMember> members;
};

struct kcFileAlias {
    std::wstring group;       // replaces the aliased group
    std::wstring find;        // text to find in the member name
    std::wstring replacement; // and what replaces it
};

struct kcPreloadRequest {
    wchar_t name[260];
    kcMemFile* file; // null until opened (or when the open failed)
    int group;
    int flags;
    int done;
};

// What the server asks of the configuration object, which comes to exist after the server
// and installs itself here.
class kcFileServerResolver {
public:
    virtual ~kcFileServerResolver() {}
    // ETC/cache: nonzero lets a server built afterwards pre-open files on a thread.
    virtual int PreopenEnabled() = 0;
    // The archive row for group and a Shift_JIS file name: its folder and default extension,
    // Shift_JIS. 0 when no row matches.
    virtual int FindArchiveRow(const char* group, const char* sjisName, std::string* dir, std::string* ext) = 0;
};

class kcFileServer {
public:
    kcFileServer();
    ~kcFileServer();

    static kcFileServer* Instance();
    static void SetResolver(kcFileServerResolver* resolver);
    static kcFileServerResolver* GetResolver();

    kcFileBase* Open(const wchar_t* name, int flags);
    // With a buffer of capacity bytes: the bytes read (never more than capacity); without: the size.
    int ReadWhole(const wchar_t* name, void* buffer, int capacity, int flags);
    int Read(kcFileBase* file, void* buffer, int bytes);
    int GetSize(kcFileBase* file);
    void Close(kcFileBase* file);
    int Exists(const wchar_t* name);
    kcFileBase* Find(const wchar_t* name, int order);
    // out holds 260 units; 0 (out untouched) without an archive row or when the result does not fit.
    int ResolvePath(wchar_t* out, const wchar_t* name, const char* group);
    int CancelPreload();
    // out holds 260 units.
    int GetGroupName(const wchar_t* name, wchar_t* out);
    const wchar_t* GetMemberName(const wchar_t* name, wchar_t* out);

    // The tables the lookup reads. The library fills none of them; whoever loads archives or
    // names slots does it before other threads use the server. Archives handed over belong
    // to the server from then on.
    int SetSlotArchive(int slot, kcArchive* archive);
    int SetSlot(int slot, const wchar_t* name, const wchar_t* folder, int useFolder);
    void AddArchive(kcArchive* archive);
    int AddGroup(const wchar_t* name, const std::vector<kcFileGroupMember>& members);
    void AddAlias(const wchar_t* group, const kcFileAlias& alias);
    // Queues a file for the pre-open thread; 0 when pre-opening is off or flags ask to create.
    int QueuePreload(const wchar_t* name, int group, int flags);
    int IsPreloadEnabled() const { return m_preloadEnabled; }
    // The group of the requests opened last; 0x7FFFFFFF once the queue is done.
    int GetCurrentGroup() const { return m_currentGroup; }

private:
    kcFileServer(const kcFileServer&) = delete;
    kcFileServer& operator=(const kcFileServer&) = delete;
    static void PreloadThread(kcThread* thread, void* self);
    void PreloadRound();
    kcMemFile* FindPreloaded(const wchar_t* name);
    kcMemFile* CopyToMemory(kcFileBase* file);
    kcFileBase* TryPlain(const wchar_t* path);
    kcFileBase* TryFolder(const wchar_t* folder, const wchar_t* member);
    kcFileBase* TryArchive(kcArchive* archive, const wchar_t* member);
    kcFileBase* FindInGroups(const std::wstring& group, const std::wstring& member, int order);
    kcFileBase* FindInSlots(const std::wstring& group, const std::wstring& member, int order);
    kcArchive* SlotArchive(int slot) const;

    kcArchive* m_archives[256];
    kcFileServerSlot m_slots[256];
    wchar_t m_currentFolder[260];
    std::list<kcFileGroup>* m_groups;
    std::list<kcArchive*>* m_loaded;
    std::list<kcPreloadRequest>* m_queue;
    volatile long m_stop;
    kcThread* m_thread;
    volatile long m_currentGroup;
    int m_preloadEnabled;
    std::map<std::wstring, kcFileAlias>* m_aliases;
};
