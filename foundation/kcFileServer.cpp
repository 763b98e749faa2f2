#include "foundation/kcFileServer.h"
#include "foundation/kcArchive.h"
#include "foundation/kcBigFile.h"
#include "foundation/kcFile.h"
#include "foundation/kcFormat.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include "foundation/kcThread.h"
#include <windows.h>
#include <climits>
#include <cstring>
#include <set>

namespace {
const int kPathUnits = 260;
const int kReadExisting = KCFILE_READ | KCFILE_OPEN_EXISTING;   // 257
const int kWriteFresh = KCFILE_WRITE | KCFILE_REPLACE;          // 1026
const unsigned kQueueLock = 0;
const unsigned kQueueEvent = 0;

kcFileServer* g_server = nullptr;
kcFileServerResolver* g_resolver = nullptr;

wchar_t foldAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? (wchar_t)(c - L'A' + L'a') : c; }

// Case-insensitive for the ASCII letters, as the library's case functions are.
bool sameText(const wchar_t* a, const wchar_t* b)
{
    for (; *a && *b; a++, b++)
        if (foldAscii(*a) != foldAscii(*b)) return false;
    return *a == *b;
}

std::wstring lowerCopy(const std::wstring& text)
{
    std::wstring out(text);
    if (!out.empty()) kcToLowerW(&out[0]);
    return out;
}

// Bounded copy into a fixed field; false (field emptied) when the text does not fit.
bool copyField(wchar_t* field, int units, const wchar_t* text)
{
    if (!text || wcslen(text) >= (size_t)units) {
        field[0] = 0;
        return false;
    }
    kcCopyStringW(field, text);
    return true;
}
} // namespace

kcFileServer* kcFileServer::Instance() { return g_server; }

void kcFileServer::SetResolver(kcFileServerResolver* resolver) { g_resolver = resolver; }

kcFileServerResolver* kcFileServer::GetResolver() { return g_resolver; }

kcFileServer::kcFileServer()
    : m_groups(new std::list<kcFileGroup>()), m_loaded(new std::list<kcArchive*>()), m_queue(nullptr), m_stop(0),
      m_thread(nullptr), m_currentGroup(0), m_preloadEnabled(0), m_aliases(new std::map<std::wstring, kcFileAlias>())
{
    std::memset(m_archives, 0, sizeof m_archives);
    std::memset(m_slots, 0, sizeof m_slots);
    kcCopyStringW(m_currentFolder, L".");
    if (g_server) {
        kcAssert("kcFileServer は複数作成出来ません");
        kcAssertAbort();
        return; // stays unregistered and without a thread
    }
    g_server = this;
    m_preloadEnabled = g_resolver ? g_resolver->PreopenEnabled() : 0;
    if (!m_preloadEnabled) return;
    m_queue = new std::list<kcPreloadRequest>();
    m_thread = new kcThread();
    m_thread->AddLock(kQueueLock);
    m_thread->AddEvent(kQueueEvent, 1, 0);
    m_thread->Start(this, &kcFileServer::PreloadThread);
    m_thread->SetPriority(THREAD_PRIORITY_ABOVE_NORMAL);
}

kcFileServer::~kcFileServer()
{
    if (g_server == this) g_server = nullptr;
    if (m_queue) {
        m_thread->Lock(kQueueLock);
        m_stop = 1;
        m_thread->SignalEvent(kQueueEvent);
        m_thread->Unlock(kQueueLock);
        m_thread->WaitForExit();
        for (kcPreloadRequest& r : *m_queue) delete r.file;
        delete m_thread;
        delete m_queue;
    }
    // An archive may sit in a slot and in the loaded list at once: delete it once.
    std::set<kcArchive*> owned;
    for (int i = 0; i < 256; i++)
        if (SlotArchive(i)) owned.insert(m_archives[i]);
    for (kcArchive* a : *m_loaded)
        if (a) owned.insert(a);
    for (kcArchive* a : owned) delete a;
    delete m_loaded;
    delete m_groups;
    delete m_aliases;
}

kcArchive* kcFileServer::SlotArchive(int slot) const
{
    if (slot < 0 || slot > 255) return nullptr;
    kcArchive* a = m_archives[slot];
    return a == (kcArchive*)-1 ? nullptr : a;
}

int kcFileServer::SetSlotArchive(int slot, kcArchive* archive)
{
    if (slot < 0 || slot > 255 || SlotArchive(slot)) return 0;
    m_archives[slot] = archive;
    return 1;
}

int kcFileServer::SetSlot(int slot, const wchar_t* name, const wchar_t* folder, int useFolder)
{
    if (slot < 0 || slot > 255) return 0;
    kcFileServerSlot& s = m_slots[slot];
    if (!copyField(s.name, 40, name ? name : L"") || !copyField(s.folder, kPathUnits, folder ? folder : L"")) {
        std::memset(&s, 0, sizeof s);
        return 0;
    }
    s.useFolder = useFolder;
    return 1;
}

void kcFileServer::AddArchive(kcArchive* archive)
{
    if (archive) m_loaded->push_back(archive);
}

int kcFileServer::AddGroup(const wchar_t* name, const std::vector<kcFileGroupMember>& members)
{
    kcFileGroup group;
    if (!copyField(group.name, 32, name)) return 0;
    group.members = members;
    for (kcFileGroupMember& m : group.members) m.folder[63] = 0;
    m_groups->push_back(group);
    return 1;
}

void kcFileServer::AddAlias(const wchar_t* group, const kcFileAlias& alias)
{
    if (group) (*m_aliases)[lowerCopy(group)] = alias;
}

int kcFileServer::QueuePreload(const wchar_t* name, int group, int flags)
{
    // Pre-opening reads; a request to create would empty the file.
    if (!m_queue || (flags & KCFS_CREATE)) return 0;
    kcPreloadRequest r = {};
    if (!copyField(r.name, kPathUnits, name)) return 0;
    r.group = group;
    r.flags = flags;
    m_thread->Lock(kQueueLock);
    m_queue->push_back(r);
    m_thread->SignalEvent(kQueueEvent);
    m_thread->Unlock(kQueueLock);
    return 1;
}

void kcFileServer::PreloadThread(kcThread* thread, void* self)
{
    kcFileServer* server = (kcFileServer*)self;
    while (!server->m_stop) {
        server->PreloadRound();
        thread->WaitEvent(kQueueEvent, INFINITE);
    }
}

// Opens every waiting request of the first waiting group as a memory copy. The event stays
// set while further groups wait, so the next round follows at once.
void kcFileServer::PreloadRound()
{
    m_thread->Lock(kQueueLock);
    bool started = false, reachedEnd = true;
    int round = 0;
    for (kcPreloadRequest& r : *m_queue) {
        if (r.done) continue;
        if (!started) {
            round = r.group;
            started = true;
        } else if (r.group != round) {
            reachedEnd = false;
            break;
        }
        r.file = static_cast<kcMemFile*>(Open(r.name, r.flags | KCFS_MEMORY_COPY));
        r.done = 1;
    }
    if (started) m_currentGroup = round;
    if (reachedEnd) {
        m_currentGroup = INT_MAX;
        // A stop request signalled during the round must not be cleared away.
        if (!m_stop) m_thread->ClearEvent(kQueueEvent);
    }
    m_thread->Unlock(kQueueLock);
}

int kcFileServer::CancelPreload()
{
    if (!m_queue) return 1;
    m_thread->Lock(kQueueLock);
    for (kcPreloadRequest& r : *m_queue) delete r.file;
    m_queue->clear();
    m_currentGroup = INT_MAX;
    m_thread->Unlock(kQueueLock);
    return 1;
}

kcMemFile* kcFileServer::FindPreloaded(const wchar_t* name)
{
    kcMemFile* found = nullptr;
    m_thread->Lock(kQueueLock);
    for (kcPreloadRequest& r : *m_queue) {
        if (!r.done || !r.file || !sameText(r.name, name)) continue;
        found = new kcMemFile();
        if (found->ShareFrom(r.file)) break;
        delete found;
        found = nullptr;
    }
    m_thread->Unlock(kQueueLock);
    return found;
}

kcFileBase* kcFileServer::TryPlain(const wchar_t* path)
{
    if (wcslen(path) >= (size_t)kPathUnits) return nullptr;
    kcFile* file = new kcFile();
    if (file->Open(path, kReadExisting)) return file;
    delete file;
    return nullptr;
}

// The slot's or group member's folder, a backslash and the member; the member alone when
// the folder is empty.
kcFileBase* kcFileServer::TryFolder(const wchar_t* folder, const wchar_t* member)
{
    if (!folder[0]) return TryPlain(member);
    wchar_t path[kPathUnits];
    size_t need = wcslen(folder) + 1 + wcslen(member);
    if (need >= (size_t)kPathUnits) return nullptr;
    kcFormatW(path, kPathUnits, L"%s\\%s", folder, member);
    return TryPlain(path);
}

kcFileBase* kcFileServer::TryArchive(kcArchive* archive, const wchar_t* member)
{
    if (!archive) return nullptr;
    kcBigFile* file = new kcBigFile(archive);
    if (file->Open(member, kReadExisting)) return file;
    delete file;
    return nullptr;
}

kcFileBase* kcFileServer::FindInGroups(const std::wstring& group, const std::wstring& member, int order)
{
    for (const kcFileGroup& g : *m_groups) {
        if (!sameText(g.name, group.c_str())) continue;
        for (const kcFileGroupMember& m : g.members) {
            kcArchive* archive = m.archiveIndex == -1 ? nullptr : SlotArchive(m.archiveIndex);
            kcFileBase* found = nullptr;
            if (order == KCFS_FOLDERS_FIRST && m.useFolder) found = TryFolder(m.folder, member.c_str());
            if (!found) found = TryArchive(archive, member.c_str());
            if (!found && order == KCFS_ARCHIVES_FIRST && m.useFolder) found = TryFolder(m.folder, member.c_str());
            if (found) return found;
        }
    }
    return nullptr;
}

kcFileBase* kcFileServer::FindInSlots(const std::wstring& group, const std::wstring& member, int order)
{
    for (int i = 0; i < 256; i++) {
        const kcFileServerSlot& slot = m_slots[i];
        kcArchive* archive = SlotArchive(i);
        bool named = sameText(slot.name, group.c_str());
        kcFileBase* found = nullptr;
        if (order == KCFS_ARCHIVES) {
            const wchar_t* archiveName = archive ? archive->GetName(nullptr) : nullptr;
            if (archiveName && sameText(archiveName, group.c_str())) found = TryArchive(archive, member.c_str());
        } else if (order == KCFS_FOLDERS_FIRST) {
            if (!group.empty() && !named) continue;
            if (group.empty() || slot.useFolder) found = TryFolder(slot.folder, member.c_str());
            if (!found) found = TryArchive(archive, member.c_str());
        } else if (named) {
            found = TryArchive(archive, member.c_str());
            if (!found && slot.useFolder) found = TryFolder(slot.folder, member.c_str());
        }
        if (found) return found;
    }
    return nullptr;
}

kcFileBase* kcFileServer::Find(const wchar_t* name, int order)
{
    if (!name) return nullptr;
    if (m_queue) {
        kcMemFile* preloaded = FindPreloaded(name);
        if (preloaded) return preloaded;
    }
    std::wstring whole(name), group, member = whole;
    size_t slash = whole.find(L'/');
    if (slash != std::wstring::npos) {
        group = whole.substr(0, slash);
        member = whole.substr(slash + 1);
    }
    auto alias = m_aliases->find(lowerCopy(group));
    if (alias != m_aliases->end()) {
        group = alias->second.group;
        if (!alias->second.find.empty()) {
            wchar_t replaced[kPathUnits];
            if (kcReplaceAllWN(replaced, kPathUnits, member.c_str(), alias->second.find.c_str(),
                               alias->second.replacement.c_str()) < 0)
                return nullptr;
            member = replaced;
        }
    }
    for (kcArchive* archive : *m_loaded) {
        // The first archive that lists the member answers, even when it cannot open it.
        if (archive->Contains(member.c_str())) return TryArchive(archive, member.c_str());
    }
    order &= KCFS_ORDER_MASK;
    if (order == KCFS_PLAIN) return TryPlain(name);
    if (order < KCFS_ARCHIVES || order > KCFS_ARCHIVES_FIRST) return nullptr;
    const wchar_t* ext = kcGetExtensionW(group.c_str());
    if (ext && sameText(ext, L"lst")) return FindInGroups(group, member, order);
    return FindInSlots(group, member, order);
}

kcMemFile* kcFileServer::CopyToMemory(kcFileBase* file)
{
    kcMemFile* copy = new kcMemFile();
    bool loaded = copy->LoadFromFile(file);
    file->Close();
    delete file;
    if (loaded) return copy;
    delete copy;
    return nullptr;
}

kcFileBase* kcFileServer::Open(const wchar_t* name, int flags)
{
    if (!name) return nullptr;
    if (flags & KCFS_CREATE) {
        kcFile* file = new kcFile();
        if (wcslen(name) < (size_t)kPathUnits && file->Open(name, kWriteFresh)) return file;
        delete file;
        return nullptr;
    }
    kcFileBase* found = Find(name, flags & ~KCFS_MEMORY_COPY);
    if (!found) {
        if (!(flags & KCFS_QUIET)) kcLogW(L"Open file error > %s", name);
        return nullptr;
    }
    if ((flags & KCFS_MEMORY_COPY) == KCFS_MEMORY_COPY) return CopyToMemory(found);
    return found;
}

int kcFileServer::ReadWhole(const wchar_t* name, void* buffer, int capacity, int flags)
{
    if (!name) return 0;
    kcFileBase* file = Find(name, flags & ~KCFS_CACHE);
    if (!file) {
        if (!(flags & KCFS_QUIET)) kcLogW(L"Open file error > %s", name);
        return 0;
    }
    int result = file->GetSize();
    if (buffer) {
        // The file may have grown since the caller asked for its size.
        int bytes = result < capacity ? result : capacity;
        result = bytes > 0 ? file->Read(buffer, bytes) : 0;
    }
    delete file;
    return result;
}

int kcFileServer::Read(kcFileBase* file, void* buffer, int bytes) { return file ? file->Read(buffer, bytes) : -1; }

int kcFileServer::GetSize(kcFileBase* file) { return file ? file->GetSize() : 0; }

void kcFileServer::Close(kcFileBase* file) { delete file; }

int kcFileServer::Exists(const wchar_t* name)
{
    kcFileBase* file = Find(name, KCFS_FOLDERS_FIRST);
    if (!file) return 0;
    delete file;
    return 1;
}

int kcFileServer::GetGroupName(const wchar_t* name, wchar_t* out)
{
    out[0] = 0;
    const wchar_t* slash = name ? wcschr(name, L'/') : nullptr;
    if (!slash || slash - name >= kPathUnits) return 0;
    std::memcpy(out, name, (slash - name) * sizeof(wchar_t));
    out[slash - name] = 0;
    return 1;
}

const wchar_t* kcFileServer::GetMemberName(const wchar_t* name, wchar_t* out)
{
    if (!name) return nullptr;
    const wchar_t* slash = wcschr(name, L'/');
    const wchar_t* member = slash ? slash + 1 : name;
    if (out) kcCopyStringWN(out, kPathUnits, member);
    return member;
}

int kcFileServer::ResolvePath(wchar_t* out, const wchar_t* name, const char* group)
{
    if (!out || !name) return 0;
    if (kcGetParentPathW(name, nullptr)) {
        if (wcslen(name) >= (size_t)kPathUnits) return 0;
        kcCopyStringW(out, name);
        return 1;
    }
    char sjisName[2 * kPathUnits];
    std::string dir, ext;
    if (!g_resolver || !kcWideToSjisN(sjisName, sizeof sjisName, name) ||
        !g_resolver->FindArchiveRow(group ? group : "", sjisName, &dir, &ext))
        return 0;
    wchar_t file[kPathUnits], wideDir[kPathUnits], wideExt[kPathUnits];
    if (!copyField(file, kPathUnits, name) || !kcSjisToWideN(wideDir, kPathUnits, dir.c_str()) ||
        !kcSjisToWideN(wideExt, kPathUnits, ext.c_str()))
        return 0;
    if (!kcHasExtensionW(file) && wideExt[0] && !kcSetExtensionWN(file, kPathUnits, wideExt)) return 0;
    // Formatted only when the whole path fits: a cut path would name another file.
    if (!wideDir[0]) return copyField(out, kPathUnits, file) ? 1 : 0;
    if (wcslen(wideDir) + 1 + wcslen(file) >= (size_t)kPathUnits) return 0;
    kcFormatW(out, kPathUnits, L"%s\\%s", wideDir, file);
    return 1;
}
