#include "foundation/DdeTestSupport.h"
#include <ddeml.h>
#include <thread>

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
