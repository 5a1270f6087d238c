#pragma once
#include "core/CAsyncSocketEx.h"
#include <memory>

class CSyncSocketExThread;

// The connection's link on the socket thread. Everything that is not one of the framework's own commands
// is an answer: "WORD id length fields", the payload right after the line. Cuts answers and their payloads
// out of the received data and hands them to the thread.
class CSyncSocketExSocket : public CAsyncSocketEx
{
public:
    // Above this a length is taken as a corrupt line rather than a payload to wait for.
    static constexpr unsigned long long kMaxPayload = 512ull * 1024 * 1024;

    explicit CSyncSocketExSocket(CSyncSocketExThread& thread);

    void OnClose(int nErrorCode) override;
    void OnConnect(int nErrorCode) override;
    BOOL ProcessCommand(int nLineLength, const CString& strWord, const CString& strParameters,
                        BOOL& bContinue) override;

    void SendLine(const CString& strLine);
    // The payload is handed over: it waits in the send queue where it lies.
    void SendLineWithData(const CString& strLine, std::unique_ptr<BYTE[]>&& pData, DWORD nLength);

    // The length field: -1, 0 and anything that is not all digits carry no payload. False for a number
    // beyond kMaxPayload.
    static bool ParsePayloadLength(const CString& strField, unsigned long long& nLength);

protected:
    void OnTimeSync(const CString& strClock) override;

private:
    // The most of a payload that waits in the link's buffer at once.
    static constexpr DWORD kPayloadPiece = 4 * 1024 * 1024;
    // The answer's buffer starts no smaller than this (or the whole payload when that is less).
    static constexpr DWORD kPayloadFirstRoom = 64 * 1024;

    // Moves what has arrived of the payload behind the line at the front into the answer's buffer;
    // true once it is whole.
    bool TakePayloadPiece(int nLineLength, DWORD nLength);
    // Room in the answer's buffer for nMore bytes behind those filled, never beyond nLength.
    void GrowPayload(DWORD nMore, DWORD nLength);

    CSyncSocketExThread& m_thread;
    std::unique_ptr<BYTE[]> m_pPayload; // of the answer at the front, while its bytes arrive
    DWORD m_nPayloadCapacity = 0;
    DWORD m_nPayloadFilled = 0;
};
