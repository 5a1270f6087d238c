#pragma once
#include <windows.h>
#include <oleauto.h>

// A byte array over a received payload, without a copy: the descriptor lives on the handler's stack
// and the event gets it by reference, valid only while the event runs.
class CPayloadArray
{
public:
    CPayloadArray(const BYTE* pData, DWORD nLength) noexcept;
    CPayloadArray(const CPayloadArray&) = delete;
    CPayloadArray& operator=(const CPayloadArray&) = delete;
    VARIANT* Get() noexcept { return &m_variant; }

private:
    SAFEARRAY m_array{};
    VARIANT m_variant;
};
