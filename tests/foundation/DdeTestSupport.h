#pragma once
// Helpers of the DDE tests: a plain DDEML client on another thread and the peer process.
#include "support/PeerProcess.h"
#include <windows.h>
#include <string>
#include <vector>

struct RawReply {
    bool connected = false, answered = false;
    std::vector<unsigned char> bytes;
};
// Requests one item of the service from a worker thread while this thread serves.
RawReply RawRequest(const std::wstring& service, const wchar_t* item);

// A service name of this test process alone.
std::string TestService();
