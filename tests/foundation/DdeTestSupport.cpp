#include "foundation/DdeTestSupport.h"
#include <ddeml.h>
#include <thread>

void PumpUntil(HANDLE h, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (MsgWaitForMultipleObjects(1, &h, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0 &&
           GetTickCount() - start < timeoutMs) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

namespace {
HDDEDATA CALLBACK NoTransactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

void RunClient(const std::wstring& serviceName, const std::wstring& item, RawReply* reply)
{
    DWORD inst = 0;
    if (DdeInitializeW(&inst, &NoTransactions, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return;
    HSZ service = DdeCreateStringHandleW(inst, serviceName.c_str(), CP_WINUNICODE);
    HSZ topic = DdeCreateStringHandleW(inst, L"KCDDE_TOPIC", CP_WINUNICODE);
    HSZ name = DdeCreateStringHandleW(inst, item.c_str(), CP_WINUNICODE);
    HCONV conv = DdeConnect(inst, service, topic, nullptr);
    reply->connected = conv != nullptr;
    if (conv) {
        DWORD result = 0;
        HDDEDATA data = DdeClientTransaction(nullptr, 0, conv, name, 0x200, XTYP_REQUEST, 5000, &result);
        if (data) {
            reply->answered = true;
            reply->bytes.resize(DdeGetData(data, nullptr, 0, 0));
            DdeGetData(data, reply->bytes.data(), (DWORD)reply->bytes.size(), 0);
            DdeFreeDataHandle(data);
        }
        DdeDisconnect(conv);
    }
    for (HSZ h : {name, topic, service}) DdeFreeStringHandle(inst, h);
    DdeUninitialize(inst);
}
} // namespace

RawReply RawRequest(const std::wstring& service, const wchar_t* item)
{
    RawReply reply;
    std::wstring name = item;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread worker([&] {
        RunClient(service, name, &reply);
        SetEvent(done);
    });
    PumpUntil(done);
    worker.join();
    CloseHandle(done);
    return reply;
}

std::string TestService() { return "KCDDE_TEST_" + std::to_string(GetCurrentProcessId()); }

FixedServiceLock::FixedServiceLock() : m_mutex(CreateMutexW(nullptr, FALSE, L"kcDdeTestFixedService"))
{
    WaitForSingleObject(m_mutex, 60000);
}

FixedServiceLock::~FixedServiceLock()
{
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
}

Peer::Peer(const std::wstring& modeAndArgs, const std::wstring& exe)
{
    // Event names unique to this process, so that test processes side by side stay apart.
    std::wstring id = std::to_wstring(GetCurrentProcessId()), ready = L"kcDdeTestReady" + id, quit = L"kcDdeTestQuit" + id;
    m_ready = CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
    m_quit = CreateEventW(nullptr, TRUE, FALSE, quit.c_str());
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path = exe.find(L'\\') != std::wstring::npos ? exe : path.substr(0, path.find_last_of(L'\\') + 1) + exe;
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
