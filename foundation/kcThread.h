#pragma once
// A worker thread with critical sections and events named by integer ids.
#include <map>

class kcThread;
typedef void (*kcThreadEntry)(kcThread* thread, void* userData);

struct _RTL_CRITICAL_SECTION;

class kcThread {
public:
    kcThread();
    ~kcThread();

    int AddLock(unsigned id);
    int AddEvent(unsigned id, int manualReset, int initialState);
    void Lock(unsigned id);
    void Unlock(unsigned id);
    void SignalEvent(unsigned id);
    void ClearEvent(unsigned id);
    bool WaitEvent(unsigned id, unsigned milliseconds);
    void SetPriority(int level);
    bool Start(void* userData, kcThreadEntry entry);
    int WaitForExit();

    void* GetHandle() const { return m_handle; }
    // The kernel handle of an event (null when id has none), for waiting on several at once.
    void* GetEventHandle(unsigned id) const;

private:
    kcThread(const kcThread&) = delete;
    kcThread& operator=(const kcThread&) = delete;
    static unsigned __stdcall Trampoline(void* self);

    void* m_handle;
    unsigned m_threadId;
    std::map<unsigned, _RTL_CRITICAL_SECTION*>* m_locks;
    std::map<unsigned, void*>* m_events;
    kcThreadEntry m_entry;
    void* m_userData;
};

// A named mutex created owned; *alreadyExists stays 1 unless this call created it.
class kcNamedMutex {
public:
    kcNamedMutex(const wchar_t* name, int* alreadyExists);
    // Narrow Shift_JIS name, as the plug-in passes it.
    kcNamedMutex(const char* sjisName, int* alreadyExists);
    ~kcNamedMutex();
    void* GetHandle() const { return m_handle; }

private:
    kcNamedMutex(const kcNamedMutex&) = delete;
    kcNamedMutex& operator=(const kcNamedMutex&) = delete;
    void Create(const wchar_t* name, int* alreadyExists);
    void* m_handle;
};
