#pragma once
// Helpers of the DDE tests: a plain DDEML client on another thread and the peer process.
#include <windows.h>
#include <ddeml.h>
#include <string>
#include <vector>

// Processes messages (DDEML answers on this thread) until h is signalled or time runs out.
void PumpUntil(HANDLE h, DWORD timeoutMs = 20000);

struct RawReply {
    bool connected = false;
    bool answered = false;
    std::vector<unsigned char> bytes;
};
// Requests one item of the service from a worker thread while this thread serves.
RawReply RawRequest(const std::wstring& service, const wchar_t* item);

// A service name of this test process alone (test processes may run side by side).
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

// Starts dde_peer.exe (beside the test executable) with the arguments; null on failure.
HANDLE StartPeer(const std::wstring& args);
// Waits for the peer and returns its exit code (999 when it could not be read).
DWORD PeerExitCode(HANDLE process);

// Runs the peer in a serving mode: starts it and waits until it is ready; Stop ends it.
class ServingPeer {
public:
    explicit ServingPeer(const std::wstring& mode, const std::wstring& extra = L"");
    ~ServingPeer();
    bool Ready() const { return m_ready; }
    DWORD Stop();

private:
    HANDLE m_readyEvent, m_quitEvent, m_process;
    bool m_ready;
};
