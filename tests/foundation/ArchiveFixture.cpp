#include "foundation/ArchiveFixture.h"
#include "foundation/kcProtect.h"
#include "support/TestSupport.h"

std::string PatternBytes(int n, int seed)
{
    std::string s;
    for (int i = 0; i < n; i++) s.push_back((char)(i * 31 + seed * 7 + 1));
    return s;
}

std::vector<kcArchiveIndexEntry> WriteFixtureArchive(const std::wstring& path, const std::vector<FixtureMember>& members,
                                                     const std::string& key)
{
    kcProtect protect;
    if (!key.empty()) protect.SetKey(key.data(), (int)key.size());
    std::string file(13, '\xEE');
    std::vector<kcArchiveIndexEntry> index;
    for (size_t i = 0; i < members.size(); i++) {
        std::string data = members[i].data;
        int whole = (int)data.size() & ~7;
        if (!key.empty() && whole > 0) protect.Encrypt(&data[0], &data[0], whole);
        index.push_back({(uint32_t)file.size(), (uint32_t)data.size(), (uint32_t)(100 + i)});
        file += data;
    }
    WriteBytes(path, file + "TRAILER!");
    return index;
}

kcArchive* LoadFixtureArchive(const std::wstring& path, const std::vector<FixtureMember>& members, const std::string& key,
                              unsigned maxOpen)
{
    std::vector<kcArchiveIndexEntry> index = WriteFixtureArchive(path, members, key);
    kcArchive* archive = new kcArchive();
    if (!archive->Attach(path.c_str(), maxOpen)) return archive;
    for (size_t i = 0; i < members.size(); i++) archive->AddMember(members[i].name.c_str(), index[i]);
    if (!key.empty()) archive->SetKey(key.data(), (int)key.size());
    return archive;
}
