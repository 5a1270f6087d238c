#pragma once
#include "framework/Platform.h"
#include <wincrypt.h>

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
    bool IsReady() const { return m_hSendKey != 0 && m_hReceiveKey != 0; }

    // In place; false when the cipher fails or gives back another count.
    bool Encrypt(BYTE* pBytes, DWORD nCount);
    bool Decrypt(BYTE* pBytes, DWORD nCount);

private:
    HCRYPTPROV m_hProvider = 0;
    HCRYPTKEY m_hSendKey = 0;
    HCRYPTKEY m_hReceiveKey = 0;
};
