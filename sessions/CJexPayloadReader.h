#pragma once
#include "framework/CString.h"
#include "framework/Platform.h"
#include <memory>

class CAsyncSocketEx;

// The binary payload behind a Jex command line, gathered in the link's receive buffer: the
// handler of a word with a payload asks for it by the line's length field and gets it once all of
// it has arrived. The link's buffer belongs to the link; this only reads it and consumes from it.
class CJexPayloadReader
{
public:
    explicit CJexPayloadReader(CAsyncSocketEx& link) : m_link(link) {}

    // The payload behind the line once it is all here; null while it is not (bIncomplete set, room
    // reserved for the rest) and when the length field is no number or more than the link can hold
    // (the line alone is dropped, as a protocol error). The bytes stay valid until Consume.
    const BYTE* WaitForPayload(int nLineLength, const CString& strLength, DWORD& nLength, BOOL& bIncomplete);
    // The line and its payload are done with.
    void Consume(int nLineLength, DWORD nLength);

    // A copy that receivers may keep after Consume: two zero bytes behind it let it be read as text.
    static std::unique_ptr<BYTE[]> CopyPayload(const BYTE* pPayload, DWORD nLength);
    // The payload's CRC-32 is the one its line announced; a payload that fails is dropped unseen.
    static bool CrcMatches(const BYTE* pBytes, DWORD nLength, DWORD nCrc);

private:
    CAsyncSocketEx& m_link;
};
