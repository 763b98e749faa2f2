#include "foundation/kcFile.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include "foundation/kcStringImpl.h"

static const char kNoData[] = "kcMemFile : ファイルがオープンされていません";

kcMemFile::kcMemFile()
    : m_flags(-1), m_handle(-1), m_position(0), m_data(nullptr), m_size(0), m_growStep(0), m_borrowed(0)
{
    m_name[0] = 0;
}

kcMemFile::~kcMemFile()
{
    if (m_data) Close();
}

bool kcMemFile::Open(const wchar_t* name, int flags) { return true; }

bool kcMemFile::Close()
{
    if (!m_data) return false;
    if (!m_borrowed) kcHeapRelease(m_data);
    m_data = nullptr;
    m_size = 0;
    return true;
}

int kcMemFile::Read(void* buffer, int bytes)
{
    if (!m_data) {
        kcLog(kNoData);
        return -1;
    }
    if (m_position >= (unsigned)m_size || bytes < 0) return -1;
    unsigned left = (unsigned)m_size - m_position;
    unsigned n = (unsigned)bytes < left ? (unsigned)bytes : left;
    if (n && !buffer) return -1;
    kcMemCopy(buffer, m_data + m_position, n);
    m_position += n;
    return (int)n;
}

int kcMemFile::Write(const void* buffer, int bytes)
{
    if (!m_data) {
        kcLog(kNoData);
        return -1;
    }
    // Borrowed data is shared for reading only.
    if (m_borrowed || bytes < 0 || (!buffer && bytes)) return -1;
    long long end = (long long)m_position + bytes;
    if (end >= m_size) {
        // Whole grow steps until the capacity passes the end; without a step (loaded data)
        // just enough to pass it.
        long long capacity = m_growStep > 0 ? m_size + ((end - m_size) / m_growStep + 1) * m_growStep : end + 1;
        if (capacity > 0x7FFFFFFF - 8) return -1;
        unsigned char* grown = (unsigned char*)kcHeapAlloc(0, (int)capacity);
        if (!grown) return -1;
        kcMemZero(grown, (unsigned)capacity);
        kcMemCopy(grown, m_data, (unsigned)m_size);
        kcHeapRelease(m_data);
        m_data = grown;
        m_size = (int)capacity;
    }
    kcMemCopy(m_data + m_position, buffer, (unsigned)bytes);
    m_position += (unsigned)bytes;
    return bytes;
}

int kcMemFile::GetPosition() { return m_data ? (int)m_position : -1; }

int kcMemFile::Seek(int position)
{
    if (!m_data) return -1;
    // An empty file has no last byte: its only usable position is 0.
    if (m_size <= 0) return (int)(m_position = 0);
    m_position = (unsigned)position < (unsigned)m_size ? (unsigned)position : (unsigned)m_size - 1;
    return (int)m_position;
}

const wchar_t* kcMemFile::GetName(wchar_t* out)
{
    if (!m_data) return nullptr;
    if (out) kcCopyStringW(out, m_name);
    return m_name;
}

int kcMemFile::GetSizeOf(const wchar_t* name) { return -1; }
int kcMemFile::GetSize() { return m_data ? m_size : -1; }
bool kcMemFile::Exists(const wchar_t* name) { return false; }
unsigned kcMemFile::GetAttributes(const wchar_t* name) { return 0; }
bool kcMemFile::SetAttributes(const wchar_t* name, unsigned attributes) { return false; }
bool kcMemFile::Delete(const wchar_t* name, bool force) { return false; }

// A name the name field cannot hold whole is refused rather than cut.
static bool nameFits(const wchar_t* name) { return kcLen(name) < KCFILE_NAME_UNITS; }

bool kcMemFile::ShareFrom(kcMemFile* other)
{
    if (m_data || !other || other == this || !other->m_data) return false;
    m_flags = other->m_flags;
    m_handle = other->m_handle;
    kcCopyStringW(m_name, other->m_name);
    m_position = other->m_position;
    m_data = other->m_data;
    m_size = other->m_size;
    m_borrowed = 1;
    return true;
}

bool kcMemFile::Create(int growStep)
{
    if (m_data || growStep < 0) return false;
    unsigned char* block = (unsigned char*)kcHeapAlloc(0, growStep);
    if (!block) return false;
    m_data = block;
    m_growStep = growStep;
    m_size = growStep;
    m_position = 0;
    m_borrowed = 0;
    return true;
}

bool kcMemFile::GetBuffer(void** data, int* length)
{
    if (!m_data) return false;
    if (data) *data = m_data;
    if (length) *length = (int)m_position;
    return true;
}

bool kcMemFile::LoadFromFile(kcFileBase* file)
{
    if (!file || m_data) return false;
    int size = file->GetSize();
    const wchar_t* name = file->GetName(nullptr);
    if (!name) name = L"";
    if (size < 0 || !nameFits(name)) return false;
    unsigned char* block = (unsigned char*)kcHeapAlloc(0, size);
    if (!block) return false;
    // The file must be read whole: a short read would pass off a cut file as the real one.
    if (size > 0 && file->Read(block, size) != size) {
        kcHeapRelease(block);
        return false;
    }
    kcCopyStringW(m_name, name);
    m_data = block;
    m_size = size;
    m_borrowed = 0;
    return true;
}

bool kcMemFile::LoadFromMemory(const wchar_t* name, const void* source, int count)
{
    if (!source || m_data || count < 0) return false;
    if (!name) name = L"";
    if (!nameFits(name)) return false;
    unsigned char* block = (unsigned char*)kcHeapAlloc(0, count);
    if (!block) return false;
    kcCopyStringW(m_name, name);
    kcMemCopy(block, source, (unsigned)count);
    m_data = block;
    m_size = count;
    m_borrowed = 0;
    return true;
}
