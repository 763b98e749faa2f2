#pragma once
// A PE file's headers read from disk, PE32 (i686) and PE32+ (x86_64) alike: what a deliverable
// exports and imports, checked without loading it (a 64-bit test reads the i686 builds too).
#include <cstdint>
#include <string>
#include <vector>

struct PeExport {
    uint32_t ordinal;
    std::string name;
    bool operator==(const PeExport& o) const { return ordinal == o.ordinal && name == o.name; }
};

struct PeImport {
    std::string dll;
    std::vector<uint64_t> thunks; // the lookup table's entries as stored, 4 or 8 bytes each
    uint32_t boundRva = 0;        // of the address table that the loader fills
};

class PeFile {
public:
    // False for a missing, truncated or non-PE file.
    bool Read(const std::wstring& path);
    bool Is64() const { return m_is64; }
    // The lookup-table bit that marks an import by ordinal, of this file's width.
    uint64_t OrdinalFlag() const { return m_is64 ? 0x8000000000000000ull : 0x80000000u; }

    uint16_t machine = 0;
    uint32_t ordinalBase = 0, functionCount = 0;
    std::vector<PeExport> exports; // in the order of the name table
    std::vector<PeImport> imports;

private:
    const uint8_t* At(uint32_t rva, uint32_t size) const;
    bool String(uint32_t rva, std::string* text) const;
    bool ReadExports(uint32_t rva);
    bool ReadImports(uint32_t rva);

    std::string m_bytes;
    bool m_is64 = false;
    struct Section {
        uint32_t rva, size, offset; // of its data in the file
    };
    std::vector<Section> m_sections;
};
