#pragma once
#include "framework/CHandleOwner.h"

// The RC4 layer of a link: one key stream per direction, both derived from the same pass phrase,
// running on from one message to the next (never finalised), so both ends must see every byte in
// order. Owns the provider and both keys.
class CLinkCipher
{
public:
    CLinkCipher() = default;
    ~CLinkCipher();
    CLinkCipher(const CLinkCipher&) = delete;
    CLinkCipher& operator=(const CLinkCipher&) = delete;

    // Builds the provider and both keys afresh (old ones are released first). FALSE with
    // GetLastError() set when CryptoAPI refuses.
    BOOL Init(const char* pszPassPhrase);
    void Release();
    bool IsReady() const { return m_hSendKey.IsValid() && m_hReceiveKey.IsValid(); }

    // In place; false when the cipher fails or gives back another count.
    bool Encrypt(BYTE* pBytes, DWORD nCount);
    bool Decrypt(BYTE* pBytes, DWORD nCount);

private:
    CCryptProvider m_hProvider; // first: the keys are destroyed before it is released
    CCryptKey m_hSendKey;
    CCryptKey m_hReceiveKey;
};
