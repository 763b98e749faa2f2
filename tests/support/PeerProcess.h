#pragma once
// Test processes that talk to a peer process over DDE: the peer, and the message pump that
// serves while waiting for it.
#include <windows.h>
#include <string>

// Processes messages (DDEML answers on this thread) until h is signalled or time runs out.
void PumpUntil(HANDLE h, DWORD timeoutMs = 20000);

// Held by every test that serves or fetches on "KCDDE_SERVER" itself, so that no two such
// servers exist at once (a client connects to whichever answers first).
class FixedServiceLock {
public:
    FixedServiceLock();
    ~FixedServiceLock();

private:
    HANDLE m_mutex;
};

// A peer program beside the test executable, run as "<exe> <mode> <ready> <quit> <args>".
class Peer {
public:
    explicit Peer(const std::wstring& modeAndArgs, const wchar_t* exe = L"dde_peer.exe");
    ~Peer() { Finish(); }
    bool Ready(); // waits until the peer serves
    DWORD Finish(); // asks it to quit, serves while it ends; its exit code (999: none)

private:
    HANDLE m_ready, m_quit, m_process;
};
