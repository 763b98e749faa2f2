#include "support/PeFile.h"

#include <windows.h>
#include <cstring>

#include "support/TestSupport.h"

bool PeFile::Read(const std::wstring& path)
{
    *this = PeFile();
    if (!ReadBytes(path, &m_bytes) || m_bytes.size() < sizeof(IMAGE_DOS_HEADER))
        return false;
    IMAGE_DOS_HEADER dos;
    memcpy(&dos, m_bytes.data(), sizeof dos);
    const uint64_t nt = static_cast<uint32_t>(dos.e_lfanew);
    // The 32- and 64-bit optional headers differ in size and layout; both start with the magic.
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || nt + sizeof(IMAGE_NT_HEADERS64) > m_bytes.size())
        return false;
    IMAGE_NT_HEADERS32 h32;
    IMAGE_NT_HEADERS64 h64;
    memcpy(&h32, m_bytes.data() + nt, sizeof h32);
    memcpy(&h64, m_bytes.data() + nt, sizeof h64);
    m_is64 = h32.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    if (h32.Signature != IMAGE_NT_SIGNATURE || (!m_is64 && h32.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC))
        return false;
    machine = h32.FileHeader.Machine;
    const IMAGE_DATA_DIRECTORY* directories = m_is64 ? h64.OptionalHeader.DataDirectory : h32.OptionalHeader.DataDirectory;
    const DWORD count = m_is64 ? h64.OptionalHeader.NumberOfRvaAndSizes : h32.OptionalHeader.NumberOfRvaAndSizes;

    const uint64_t sections = nt + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + h32.FileHeader.SizeOfOptionalHeader;
    if (sections + uint64_t(h32.FileHeader.NumberOfSections) * sizeof(IMAGE_SECTION_HEADER) > m_bytes.size())
        return false;
    for (int i = 0; i < h32.FileHeader.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER s;
        memcpy(&s, m_bytes.data() + sections + i * sizeof s, sizeof s);
        m_sections.push_back({s.VirtualAddress, s.SizeOfRawData, s.PointerToRawData});
    }
    return count > IMAGE_DIRECTORY_ENTRY_IMPORT && ReadExports(directories[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress) &&
           ReadImports(directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
}

// The file's bytes at a virtual address, when size bytes from there lie in one section's data.
const uint8_t* PeFile::At(uint32_t rva, uint32_t size) const
{
    for (const Section& s : m_sections) {
        const uint64_t into = uint64_t(rva) - s.rva;
        if (rva >= s.rva && into + size <= s.size && s.offset + into + size <= m_bytes.size())
            return reinterpret_cast<const uint8_t*>(m_bytes.data()) + s.offset + into;
    }
    return nullptr;
}

bool PeFile::String(uint32_t rva, std::string* text) const
{
    text->clear();
    for (const uint8_t* c; (c = At(rva, 1)) != nullptr; ++rva) {
        if (!*c)
            return true;
        *text += static_cast<char>(*c);
    }
    return false;
}

bool PeFile::ReadExports(uint32_t rva)
{
    if (!rva)
        return true;
    const uint8_t* at = At(rva, sizeof(IMAGE_EXPORT_DIRECTORY));
    if (!at)
        return false;
    IMAGE_EXPORT_DIRECTORY directory;
    memcpy(&directory, at, sizeof directory);
    ordinalBase = directory.Base, functionCount = directory.NumberOfFunctions;
    for (DWORD i = 0; i < directory.NumberOfNames; ++i) {
        const uint8_t* name = At(directory.AddressOfNames + 4 * i, 4);
        const uint8_t* index = At(directory.AddressOfNameOrdinals + 2 * i, 2);
        uint32_t nameRva = 0;
        uint16_t ordinalIndex = 0;
        PeExport e;
        if (!name || !index || (memcpy(&nameRva, name, 4), memcpy(&ordinalIndex, index, 2), !String(nameRva, &e.name)))
            return false;
        e.ordinal = directory.Base + ordinalIndex;
        exports.push_back(e);
    }
    return true;
}

bool PeFile::ReadImports(uint32_t rva)
{
    const uint32_t width = m_is64 ? 8 : 4;
    for (; rva; rva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const uint8_t* at = At(rva, sizeof(IMAGE_IMPORT_DESCRIPTOR));
        if (!at)
            return false;
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        memcpy(&descriptor, at, sizeof descriptor);
        if (!descriptor.Name)
            return true;
        PeImport import;
        import.boundRva = descriptor.FirstThunk;
        if (!String(descriptor.Name, &import.dll))
            return false;
        // Without a lookup table the address table holds the same entries until bound.
        uint32_t thunk = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
        for (uint64_t entry = 1; entry; thunk += width) {
            const uint8_t* t = At(thunk, width);
            if (!t)
                return false;
            entry = 0;
            memcpy(&entry, t, width);   // little-endian: the low bytes
            if (entry)
                import.thunks.push_back(entry);
        }
        imports.push_back(import);
    }
    return true;
}
