#pragma once
// What the zip reader and writer share inside the library: the record signatures and sizes of
// the format, little-endian field access, and an owner for the file handles they open.
#include "framework/Platform.h"
#include <cstdint>

namespace ZipLayout
{
constexpr uint32_t kLocalSignature = 0x04034b50;    // "PK\3\4"
constexpr uint32_t kCentralSignature = 0x02014b50;  // "PK\1\2"
constexpr uint32_t kEndSignature = 0x06054b50;      // "PK\5\6"
constexpr uint32_t kDescriptorSignature = 0x08074b50;
constexpr DWORD kLocalHeaderSize = 30;
constexpr DWORD kCentralHeaderSize = 46;
constexpr DWORD kEndRecordSize = 22;
constexpr DWORD kPieceSize = 16384;  // data move through the archive in pieces of this size
constexpr WORD kFlagDescriptor = 0x0008;
constexpr WORD kMethodStored = 0;
constexpr WORD kMethodDeflate = 8;

inline uint16_t Get16(const BYTE* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const BYTE* p) { return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16); }
inline BYTE* Put16(BYTE* p, uint16_t v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    return p + 2;
}
inline BYTE* Put32(BYTE* p, uint32_t v) { return Put16(Put16(p, static_cast<uint16_t>(v)), static_cast<uint16_t>(v >> 16)); }

// Owns a file handle (INVALID_HANDLE_VALUE for none); closing keeps the caller's last error.
class CFileHandle
{
public:
    CFileHandle() = default;
    explicit CFileHandle(HANDLE h) : m_h(h) {}
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    CFileHandle(CFileHandle&& other) noexcept : m_h(other.Detach()) {}
    CFileHandle& operator=(CFileHandle&& other) noexcept
    {
        if (this != &other) Attach(other.Detach());
        return *this;
    }
    ~CFileHandle() { Close(); }
    void Attach(HANDLE h)
    {
        Close();
        m_h = h;
    }
    HANDLE Detach()
    {
        HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return h;
    }
    void Close()
    {
        if (IsValid())
        {
            DWORD dwError = GetLastError();
            CloseHandle(m_h);
            SetLastError(dwError);
        }
        m_h = INVALID_HANDLE_VALUE;
    }
    bool IsValid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
    HANDLE Get() const { return m_h; }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};
}  // namespace ZipLayout
