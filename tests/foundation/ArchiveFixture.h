#pragma once
// Hand-built archives for the archive and file-server tests: a few header bytes, then each
// member's bytes, whole 8-byte blocks Blowfish-enciphered when a key is given.
#include "kcArchive.h"
#include <string>
#include <vector>

struct FixtureMember {
    std::wstring name;
    std::string data;
};

// Bytes 0..n-1 of a recognisable pattern that differs per seed.
std::string PatternBytes(int n, int seed);

// Writes the archive file and returns each member's index entry (in order). When headerBytes
// is given, that many filler bytes come first.
std::vector<kcArchiveIndexEntry> WriteFixtureArchive(const std::wstring& path, const std::vector<FixtureMember>& members,
                                                     const std::string& key, int headerBytes = 13);

// A new archive attached to path with the members listed and the key set (when not empty).
kcArchive* LoadFixtureArchive(const std::wstring& path, const std::vector<FixtureMember>& members,
                              const std::string& key, unsigned maxOpen = 4);
