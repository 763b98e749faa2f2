#include "foundation/kcThread.h"
#include "foundation/kcString.h"
#include <windows.h>
#include <process.h>

kcThread::kcThread()
    : m_handle(nullptr), m_threadId(0), m_locks(nullptr), m_events(nullptr), m_entry(nullptr), m_userData(nullptr)
{
}

kcThread::~kcThread()
{
    if (m_locks) {
        for (auto& kv : *m_locks) {
            DeleteCriticalSection(kv.second);
            delete kv.second;
        }
        delete m_locks;
    }
    if (m_events) {
        for (auto& kv : *m_events) CloseHandle(kv.second);
        delete m_events;
    }
    if (m_handle) CloseHandle(m_handle);
}

int kcThread::AddLock(unsigned id)
{
    if (!m_locks) m_locks = new std::map<unsigned, _RTL_CRITICAL_SECTION*>();
    if (m_locks->count(id)) return 0;
    CRITICAL_SECTION* cs = new CRITICAL_SECTION;
    InitializeCriticalSection(cs);
    (*m_locks)[id] = cs;
    return 1;
}

int kcThread::AddEvent(unsigned id, int manualReset, int initialState)
{
    if (!m_events) m_events = new std::map<unsigned, void*>();
    if (m_events->count(id)) return 0;
    (*m_events)[id] = CreateEventW(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE, nullptr);
    return 1;
}

void kcThread::Lock(unsigned id)
{
    if (!m_locks) return;
    auto it = m_locks->find(id);
    if (it != m_locks->end()) EnterCriticalSection(it->second);
}

void kcThread::Unlock(unsigned id)
{
    if (!m_locks) return;
    auto it = m_locks->find(id);
    if (it != m_locks->end()) LeaveCriticalSection(it->second);
}

void* kcThread::GetEventHandle(unsigned id) const
{
    if (!m_events) return nullptr;
    auto it = m_events->find(id);
    return it == m_events->end() ? nullptr : it->second;
}

void kcThread::SignalEvent(unsigned id)
{
    if (HANDLE h = GetEventHandle(id)) SetEvent(h);
}

void kcThread::ClearEvent(unsigned id)
{
    if (HANDLE h = GetEventHandle(id)) ResetEvent(h);
}

bool kcThread::WaitEvent(unsigned id, unsigned milliseconds)
{
    HANDLE h = GetEventHandle(id);
    if (!h) return false;
    return WaitForSingleObject(h, milliseconds) == WAIT_OBJECT_0;
}

void kcThread::SetPriority(int level)
{
    if (m_handle) SetThreadPriority(m_handle, level);
}

unsigned __stdcall kcThread::Trampoline(void* self)
{
    kcThread* t = (kcThread*)self;
    if (t->m_entry) t->m_entry(t, t->m_userData);
    _endthreadex(0);
    return 0;
}

bool kcThread::Start(void* userData, kcThreadEntry entry)
{
    // A thread object runs once; a second start would lose the first handle.
    if (m_handle) return false;
    m_userData = userData;
    m_entry = entry;
    m_handle = (void*)_beginthreadex(nullptr, 0, &kcThread::Trampoline, this, 0, &m_threadId);
    return m_handle != nullptr;
}

int kcThread::WaitForExit()
{
    // Never started: nothing to wait for.
    if (!m_handle) return 0;
    DWORD code = 0;
    BOOL r;
    do {
        Sleep(1);
        r = GetExitCodeThread(m_handle, &code);
    } while (r && code == STILL_ACTIVE);
    return r;
}

kcNamedMutex::kcNamedMutex(const wchar_t* name, int* alreadyExists) : m_handle(nullptr)
{
    Create(name, alreadyExists);
}

kcNamedMutex::kcNamedMutex(const char* sjisName, int* alreadyExists) : m_handle(nullptr)
{
    wchar_t wide[4096];
    kcSjisToWide(wide, sjisName);
    Create(wide, alreadyExists);
}

void kcNamedMutex::Create(const wchar_t* name, int* alreadyExists)
{
    int dummy;
    if (!alreadyExists) alreadyExists = &dummy;
    *alreadyExists = 1;
    wchar_t copy[1024];
    lstrcpynW(copy, name ? name : L"", 1024);
    m_handle = CreateMutexW(nullptr, TRUE, copy);
    DWORD err = GetLastError();
    if (m_handle && err != ERROR_ALREADY_EXISTS && err != ERROR_INVALID_HANDLE) *alreadyExists = 0;
}

kcNamedMutex::~kcNamedMutex()
{
    if (m_handle) CloseHandle(m_handle);
}
