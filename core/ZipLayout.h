#pragma once
// What the zip reader and writer share inside the library: the record signatures and sizes of
// the format and little-endian field access.
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

}  // namespace ZipLayout
