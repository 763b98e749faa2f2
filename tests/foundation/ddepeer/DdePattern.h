#pragma once
// The bytes that the DDE test items carry, known to both processes.
#include <vector>

inline std::vector<unsigned char> DdePattern(unsigned bytes)
{
    std::vector<unsigned char> v(bytes);
    for (unsigned i = 0; i < bytes; ++i) v[i] = (unsigned char)(i * 7 + 3);
    return v;
}

// What the peer writes of its capability object: dxVersion, dxText, then the CpuInfo record.
const unsigned kPeerCapsBytes = 4 + 256 + 576;
