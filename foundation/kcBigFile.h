#pragma once
// The file object over one member of an archive (kcArchive); the file server hands it out.
#include "foundation/kcFile.h"

class kcArchive;
struct kcArchiveEntryHandle;

class kcBigFile : public kcFileBase {
public:
    explicit kcBigFile(kcArchive* archive);
    ~kcBigFile() override;
    // Opens member for reading (flags must hold KCFILE_READ); a member held before is closed.
    bool Open(const wchar_t* member, int flags) override;
    bool Close() override;
    int Read(void* buffer, int bytes) override;
    int Write(const void* buffer, int bytes) override;
    int GetPosition() override;
    int Seek(int position) override;
    const wchar_t* GetName(wchar_t* out) override;
    int GetSizeOf(const wchar_t* name) override;
    int GetSize() override;
    void* GetHandle() override;
    bool Exists(const wchar_t* member) override;
    unsigned GetAttributes(const wchar_t* name) override;
    bool SetAttributes(const wchar_t* name, unsigned attributes) override;
    bool Delete(const wchar_t* name, bool force) override;

private:
    kcArchive* m_archive;
    kcArchiveEntryHandle* m_entry;
};
