#include "support/PeerProcess.h"

void PumpUntil(HANDLE h, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (MsgWaitForMultipleObjects(1, &h, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0 &&
           GetTickCount() - start < timeoutMs) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

FixedServiceLock::FixedServiceLock() : m_mutex(CreateMutexW(nullptr, FALSE, L"kcDdeTestFixedService"))
{
    WaitForSingleObject(m_mutex, 60000);
}

FixedServiceLock::~FixedServiceLock()
{
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
}

Peer::Peer(const std::wstring& modeAndArgs, const wchar_t* exe)
{
    // Event names unique to this process, so that test processes side by side stay apart.
    std::wstring id = std::to_wstring(GetCurrentProcessId()), ready = L"kcDdeTestReady" + id, quit = L"kcDdeTestQuit" + id;
    m_ready = CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
    m_quit = CreateEventW(nullptr, TRUE, FALSE, quit.c_str());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path = path.substr(0, path.find_last_of(L'\\') + 1) + exe;
    size_t blank = modeAndArgs.find(L' ');
    std::wstring cmd = L"\"" + path + L"\" " + modeAndArgs.substr(0, blank) + L" " + ready + L" " + quit +
                       (blank == std::wstring::npos ? L"" : modeAndArgs.substr(blank));
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    m_process = CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) ? pi.hProcess : nullptr;
    if (m_process) CloseHandle(pi.hThread);
}

bool Peer::Ready()
{
    HANDLE either[] = {m_ready, m_process};
    return m_process && WaitForMultipleObjects(2, either, FALSE, 20000) == WAIT_OBJECT_0;
}

DWORD Peer::Finish()
{
    DWORD code = 999;
    if (m_process) {
        SetEvent(m_quit);
        PumpUntil(m_process);
        GetExitCodeProcess(m_process, &code);
        CloseHandle(m_process);
        CloseHandle(m_ready);
        CloseHandle(m_quit);
        m_process = nullptr;
    }
    return code;
}
