#include "foundation/kcDDE.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include <dde.h>

namespace {

kcDDE* g_dde = nullptr;
const UINT kItemFormat = 0x200; // private, never registered
const DWORD kRequestTimeoutMs = 1000;
const int kNameChars = 256;

// Names arrive as Shift_JIS; DDEML handles are made from the wide text with the Unicode code
// page (Wine's DDEML reads the code-page argument literally).
bool SjisToWide(const char* sjis, wchar_t* out, int cap)
{
    return sjis && kcSjisToWideN(out, cap, sjis) > 0;
}

// Wine's DDEML server follows the data of a request with a positive acknowledgement, which
// the next synchronous request takes for its (negative) answer. Late acknowledgements and data
// are handed to the conversation window outside a transaction, where they are dropped.
void DropLateReplies(DWORD waitMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_DDE_ACK, WM_DDE_DATA, PM_REMOVE))
            DispatchMessageW(&msg);
        DWORD spent = GetTickCount() - start;
        if (spent >= waitMs)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs - spent, QS_POSTMESSAGE);
    }
}

HDDEDATA Request(DWORD instance, HCONV conv, HSZ item)
{
    const DWORD kLateReplyMs = 50;
    DropLateReplies(0);
    for (int attempt = 0;; ++attempt) {
        DWORD result = 0;
        HDDEDATA data = DdeClientTransaction(nullptr, 0, conv, item, kItemFormat, XTYP_REQUEST,
                                             kRequestTimeoutMs, &result);
        // A refusal may have been the previous request's late acknowledgement: once its own
        // replies have come and gone, ask again.
        if (data || attempt == 1 || DdeGetLastError(instance) != DMLERR_NOTPROCESSED)
            return data;
        DropLateReplies(kLateReplyMs);
    }
}

} // namespace

kcDDE* kcDDE::Instance() { return g_dde; }

kcDDE::kcDDE() : m_active(0), m_instance(0), m_topic(nullptr)
{
    if (g_dde) {
        kcLog("kcDDEクラスは複数作成出来ません");
        return;
    }
    g_dde = this;
    if (DdeInitializeW(&m_instance, &kcDDE::OnTransaction, 0, 0) != DMLERR_NO_ERROR) {
        m_instance = 0;
        kcLog("kcCaps : DDEサーバー作成に失敗");
        return;
    }
    m_topic = DdeCreateStringHandleW(m_instance, L"KCDDE_TOPIC", CP_WINUNICODE);
    m_active = 1;
}

kcDDE::~kcDDE()
{
    Shutdown();
    if (g_dde == this)
        g_dde = nullptr;
}

HSZ kcDDE::CreateName(const char* sjis)
{
    wchar_t wide[kNameChars + 1];
    if (!SjisToWide(sjis, wide, kNameChars + 1))
        return nullptr;
    return DdeCreateStringHandleW(m_instance, wide, CP_WINUNICODE);
}

bool kcDDE::NameEquals(HSZ handle, const wchar_t* text)
{
    wchar_t name[kNameChars + 1] = {};
    if (!handle || !DdeQueryStringW(m_instance, handle, name, kNameChars + 1, CP_WINUNICODE))
        return false;
    return lstrcmpW(name, text) == 0;
}

bool kcDDE::NameEquals(HSZ a, HSZ b)
{
    wchar_t name[kNameChars + 1] = {};
    if (!b || !DdeQueryStringW(m_instance, b, name, kNameChars + 1, CP_WINUNICODE))
        return false;
    return NameEquals(a, name);
}

int kcDDE::CreateServer(const char* service)
{
    wchar_t wide[kNameChars + 1];
    if (!m_active || !SjisToWide(service, wide, kNameChars + 1))
        return 0;
    for (HSZ h : m_services) {
        if (NameEquals(h, wide)) {
            kcLog("kcDDE : サーバ<%s>は既に作成されています", service);
            return 0;
        }
    }
    HSZ name = DdeCreateStringHandleW(m_instance, wide, CP_WINUNICODE);
    if (!name)
        return 0;
    if (!DdeNameService(m_instance, name, nullptr, DNS_REGISTER)) {
        DdeFreeStringHandle(m_instance, name);
        return 0;
    }
    m_services.push_back(name);
    return 1;
}

int kcDDE::Connect(const char* service)
{
    wchar_t wide[kNameChars + 1];
    if (!m_active || !SjisToWide(service, wide, kNameChars + 1))
        return 0;
    for (const Connection& c : m_connections) {
        if (NameEquals(c.service, wide)) {
            kcLog("kcDDE : 既にサーバ<%s>に接続されています", service);
            return 0;
        }
    }
    HSZ name = DdeCreateStringHandleW(m_instance, wide, CP_WINUNICODE);
    if (!name)
        return 0;
    HCONV conv = DdeConnect(m_instance, name, m_topic, nullptr);
    if (!conv) {
        DdeFreeStringHandle(m_instance, name);
        return 0;
    }
    m_connections.push_back({name, conv});
    return 1;
}

int kcDDE::RegisterItem(const char* item, kcDdeItemCallback callback, void* userData)
{
    wchar_t wide[kNameChars + 1];
    if (!m_active || !SjisToWide(item, wide, kNameChars + 1))
        return 0;
    for (const Item& it : m_items) {
        if (NameEquals(it.name, wide)) {
            kcLog("kcDDE : トピック %s は既に登録されています", item);
            return 0;
        }
    }
    HSZ name = DdeCreateStringHandleW(m_instance, wide, CP_WINUNICODE);
    if (!name)
        return 0;
    m_items.push_back({userData, name, callback});
    return 1;
}

int kcDDE::WithdrawItems(const void* userData)
{
    int withdrawn = 0;
    for (size_t i = 0; i < m_items.size();) {
        if (m_items[i].userData != userData) {
            ++i;
            continue;
        }
        DdeFreeStringHandle(m_instance, m_items[i].name);
        m_items.erase(m_items.begin() + i);
        ++withdrawn;
    }
    return withdrawn;
}

int kcDDE::GetServerData(const char* item, void* buffer, unsigned maxBytes, const char* service,
                         unsigned minBytes)
{
    wchar_t wide[kNameChars + 1];
    if (!m_active || !buffer || !SjisToWide(service, wide, kNameChars + 1))
        return 0;
    HCONV conv = nullptr;
    for (const Connection& c : m_connections) {
        if (NameEquals(c.service, wide)) {
            conv = c.conv;
            break;
        }
    }
    if (!conv) {
        kcLog("kcDDE::GetServerData  サーバ %s に接続されていません", service);
        return 0;
    }
    HSZ name = CreateName(item);
    if (!name)
        return 0;
    HDDEDATA data = Request(m_instance, conv, name);
    int ok = 0;
    if (data) {
        // The records filled from items have exact sizes: a short block is refused like a long one.
        DWORD size = DdeGetData(data, nullptr, 0, 0);
        if (size >= minBytes && size <= maxBytes)
            ok = DdeGetData(data, (LPBYTE)buffer, size, 0) == size ? 1 : 0;
        DdeFreeDataHandle(data);
    }
    DdeFreeStringHandle(m_instance, name);
    return ok;
}

void kcDDE::Shutdown()
{
    if (!m_active)
        return;
    for (const Item& it : m_items)
        DdeFreeStringHandle(m_instance, it.name);
    m_items.clear();
    for (HSZ h : m_services) {
        DdeNameService(m_instance, h, nullptr, DNS_UNREGISTER);
        DdeFreeStringHandle(m_instance, h);
    }
    m_services.clear();
    for (const Connection& c : m_connections) {
        DdeDisconnect(c.conv);
        DdeFreeStringHandle(m_instance, c.service);
    }
    m_connections.clear();
    if (m_topic)
        DdeFreeStringHandle(m_instance, m_topic);
    m_topic = nullptr;
    DdeUninitialize(m_instance);
    m_instance = 0;
    m_active = 0;
}

HDDEDATA kcDDE::AnswerRequest(HSZ topic, HSZ item)
{
    if (DdeCmpStringHandles(topic, m_topic) != 0)
        return nullptr;
    for (const Item& it : m_items) {
        if (DdeCmpStringHandles(it.name, item) != 0)
            continue;
        if (!it.callback)
            return nullptr;
        wchar_t name[kNameChars + 1] = {};
        DdeQueryStringW(m_instance, it.name, name, kNameChars + 1, CP_WINUNICODE);
        void* block = nullptr;
        unsigned bytes = 0;
        int produced = it.callback(it.userData, name, &block, &bytes);
        HDDEDATA data = nullptr;
        if (produced && block && bytes)
            data = DdeCreateDataHandle(m_instance, (LPBYTE)block, bytes, 0, it.name, kItemFormat, 0);
        // DDEML has its own copy now; a refused or empty answer's block is released all the same.
        if (block)
            kcHeapRelease(block);
        return data;
    }
    return nullptr;
}

HDDEDATA CALLBACK kcDDE::OnTransaction(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                                       HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2)
{
    kcDDE* self = g_dde;
    if (!self || !self->m_active)
        return nullptr;
    switch (type) {
    case XTYP_CONNECT:
        if (!self->NameEquals(self->m_topic, hsz1))
            return nullptr;
        for (HSZ h : self->m_services) {
            if (self->NameEquals(h, hsz2))
                return (HDDEDATA)TRUE;
        }
        return nullptr;
    case XTYP_REQUEST:
        return self->AnswerRequest(hsz1, hsz2);
    default:
        return nullptr;
    }
}
