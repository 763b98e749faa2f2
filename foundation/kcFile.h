#pragma once
// File objects: the abstract kcFileBase, the disk file kcFile and the memory file kcMemFile.
#include "foundation/kcClassBase.h"

// Open flags.
enum {
    KCFILE_READ = 1,
    KCFILE_WRITE = 2,
    KCFILE_OPEN_EXISTING = 0x100,
    KCFILE_CREATE_NEW = 0x200,
    KCFILE_REPLACE = 0x400,
    KCFILE_OPEN_ALWAYS = 0x800,
};

// Characters of a file object's name field, terminator included.
const int KCFILE_NAME_UNITS = 260;

// The table of file operations; the order of the virtual functions is fixed.
// Defaults (for a kind of file that lacks an operation) are 0, null or -1.
class kcFileBase : public kcClassBase {
public:
    kcFileBase() {}
    virtual ~kcFileBase() {}
    virtual bool Open(const wchar_t* name, int flags) { return false; }
    virtual bool Close() { return false; }
    virtual int Read(void* buffer, int bytes) { return -1; }
    virtual int Write(const void* buffer, int bytes) { return -1; }
    virtual int GetPosition() { return -1; }
    virtual int Seek(int position) { return -1; }
    // Copies the name into out (KCFILE_NAME_UNITS) when out is not null; the object's own name.
    virtual const wchar_t* GetName(wchar_t* out) { return nullptr; }
    virtual int GetSizeOf(const wchar_t* name) { return -1; }
    virtual int GetSize() { return -1; }
    virtual void* GetHandle() { return (void*)-1; }
    virtual bool Exists(const wchar_t* name) { return false; }
    virtual unsigned GetAttributes(const wchar_t* name) { return (unsigned)-1; }
    virtual bool SetAttributes(const wchar_t* name, unsigned attributes) { return false; }
    virtual bool Delete(const wchar_t* name, bool force) { return false; }

private:
    kcFileBase(const kcFileBase&) = delete;
    kcFileBase& operator=(const kcFileBase&) = delete;
};

// A file on disk through a Win32 handle.
class kcFile : public kcFileBase {
public:
    kcFile();
    ~kcFile() override;
    bool Open(const wchar_t* name, int flags) override;
    bool Close() override;
    int Read(void* buffer, int bytes) override;
    int Write(const void* buffer, int bytes) override;
    int GetPosition() override;
    int Seek(int position) override;
    const wchar_t* GetName(wchar_t* out) override;
    int GetSizeOf(const wchar_t* name) override;
    int GetSize() override;
    void* GetHandle() override;
    bool Exists(const wchar_t* name) override;
    unsigned GetAttributes(const wchar_t* name) override;
    bool SetAttributes(const wchar_t* name, unsigned attributes) override;
    bool Delete(const wchar_t* name, bool force) override;

    unsigned long long GetSizeOf64(const wchar_t* name);
    bool IsOpen() const { return m_handle != (void*)-1; }

private:
    int m_flags;
    void* m_handle;
    wchar_t m_name[KCFILE_NAME_UNITS];
    unsigned m_position;
};

// A file held in a block of the private heap: loaded, created for writing or borrowed.
class kcMemFile : public kcFileBase {
public:
    kcMemFile();
    ~kcMemFile() override;
    bool Open(const wchar_t* name, int flags) override;
    bool Close() override;
    int Read(void* buffer, int bytes) override;
    int Write(const void* buffer, int bytes) override;
    int GetPosition() override;
    int Seek(int position) override;
    const wchar_t* GetName(wchar_t* out) override;
    int GetSizeOf(const wchar_t* name) override;
    int GetSize() override;
    bool Exists(const wchar_t* name) override;
    unsigned GetAttributes(const wchar_t* name) override;
    bool SetAttributes(const wchar_t* name, unsigned attributes) override;
    bool Delete(const wchar_t* name, bool force) override;

    // Takes over other's data without copying; this file never releases it.
    bool ShareFrom(kcMemFile* other);
    // An empty writable file whose capacity grows in steps of growStep bytes.
    bool Create(int growStep);
    // The data and the position (for a written file, the bytes written).
    bool GetBuffer(void** data, int* length);
    bool LoadFromFile(kcFileBase* file);
    bool LoadFromMemory(const wchar_t* name, const void* source, int count);
    bool IsOpen() const { return m_data != nullptr; }

private:
    int m_flags;
    int m_handle;
    wchar_t m_name[KCFILE_NAME_UNITS];
    unsigned m_position;
    unsigned char* m_data;
    int m_size;
    int m_growStep;
    int m_borrowed;
};
