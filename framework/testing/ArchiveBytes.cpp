#include "framework/testing/ArchiveBytes.h"
#include "framework/CArchiveException.h"
#include "framework/CMemFile.h"
#include <cstdlib>

std::vector<BYTE> StoredBytes(const std::function<void(CArchive&)>& store)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        store(ar);
        ar.Close();
    }
    const auto length = static_cast<size_t>(file.GetLength());
    BYTE* data = file.Detach(); // the memory file's buffer comes from malloc
    std::vector<BYTE> bytes(data, data + length);
    std::free(data);
    return bytes;
}

int ArchiveExceptionCause(const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (CArchiveException* e)
    {
        const int cause = e->m_cause;
        e->Delete();
        return cause;
    }
    return -1;
}
