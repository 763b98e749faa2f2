#include "DdeTestSupport.h"
#include <thread>

void PumpUntil(HANDLE h, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, 100, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0 || GetTickCount() - start > timeoutMs)
            return;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

namespace {

HDDEDATA CALLBACK NoTransactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR)
{
    return nullptr;
}

void RunClient(const std::wstring& serviceName, const std::wstring& item, RawReply* reply)
{
    DWORD inst = 0;
    if (DdeInitializeW(&inst, &NoTransactions, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return;
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
    DdeFreeStringHandle(inst, name);
    DdeFreeStringHandle(inst, topic);
    DdeFreeStringHandle(inst, service);
    DdeUninitialize(inst);
}

std::wstring PeerPath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L'\\') + 1) + L"dde_peer.exe";
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

HANDLE StartPeer(const std::wstring& args)
{
    std::wstring cmd = L"\"" + PeerPath() + L"\" " + args;
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

DWORD PeerExitCode(HANDLE process)
{
    DWORD code = 999;
    WaitForSingleObject(process, 20000);
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

ServingPeer::ServingPeer(const std::wstring& mode, const std::wstring& extra) : m_ready(false)
{
    // Names unique to this process, so that test processes running side by side stay apart.
    std::wstring id = std::to_wstring(GetCurrentProcessId());
    std::wstring ready = L"kcDdeTestReady" + id, quit = L"kcDdeTestQuit" + id;
    m_readyEvent = CreateEventW(nullptr, TRUE, FALSE, ready.c_str());
    m_quitEvent = CreateEventW(nullptr, TRUE, FALSE, quit.c_str());
    m_process = StartPeer(mode + L" " + ready + L" " + quit + (extra.empty() ? L"" : L" " + extra));
    m_ready = m_process && WaitForSingleObject(m_readyEvent, 20000) == WAIT_OBJECT_0;
}

DWORD ServingPeer::Stop()
{
    if (!m_process)
        return 999;
    SetEvent(m_quitEvent);
    DWORD code = PeerExitCode(m_process);
    m_process = nullptr;
    return code;
}

ServingPeer::~ServingPeer()
{
    Stop();
    CloseHandle(m_readyEvent);
    CloseHandle(m_quitEvent);
}

std::string TestService()
{
    return "KCDDE_TEST_" + std::to_string(GetCurrentProcessId());
}

FixedServiceLock::FixedServiceLock()
{
    m_mutex = CreateMutexW(nullptr, FALSE, L"kcDdeTestFixedService");
    WaitForSingleObject(m_mutex, 60000);
}

FixedServiceLock::~FixedServiceLock()
{
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
}
