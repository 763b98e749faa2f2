#pragma once
// Helpers of the DDE tests: a plain DDEML client on another thread and the peer process.
#include <windows.h>
#include <string>
#include <vector>

// Processes messages (DDEML answers on this thread) until h is signalled or time runs out.
void PumpUntil(HANDLE h, DWORD timeoutMs = 20000);

struct RawReply {
    bool connected = false, answered = false;
    std::vector<unsigned char> bytes;
};
// Requests one item of the service from a worker thread while this thread serves.
RawReply RawRequest(const std::wstring& service, const wchar_t* item);

// A service name of this test process alone.
std::string TestService();

// Held by every test that serves or fetches on "KCDDE_SERVER" itself, so that no two such
// servers exist at once (a client connects to whichever answers first).
class FixedServiceLock {
public:
    FixedServiceLock();
    ~FixedServiceLock();

private:
    HANDLE m_mutex;
};

// dde_peer.exe (beside the test executable) run as "dde_peer <mode> <ready> <quit> <args>";
// another peer program when exe names one (a file name beside the test executable, or a full path).
class Peer {
public:
    explicit Peer(const std::wstring& modeAndArgs, const std::wstring& exe = L"dde_peer.exe");
    ~Peer() { Finish(); }
    bool Ready(); // waits until the peer serves
    DWORD Finish(); // asks it to quit, serves while it ends; its exit code (999: none)

private:
    HANDLE m_ready, m_quit, m_process;
};
