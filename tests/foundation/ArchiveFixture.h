#pragma once
// Hand-built archives for the archive and file-server tests: 13 header bytes, each member's
// bytes (whole 8-byte blocks Blowfish-enciphered when a key is given), then a trailer.
#include "foundation/kcArchive.h"
#include <string>
#include <vector>

struct FixtureMember {
    std::wstring name;
    std::string data;
};

// Bytes 0..n-1 of a recognisable pattern that differs per seed.
std::string PatternBytes(int n, int seed);
// Writes the archive file and returns each member's index entry (in order).
std::vector<kcArchiveIndexEntry> WriteFixtureArchive(const std::wstring& path, const std::vector<FixtureMember>& members,
                                                     const std::string& key);
// A new archive attached to path with the members listed and the key set (when not empty).
kcArchive* LoadFixtureArchive(const std::wstring& path, const std::vector<FixtureMember>& members,
                              const std::string& key, unsigned maxOpen = 4);
