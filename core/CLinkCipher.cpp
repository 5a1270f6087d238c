#include "core/CLinkCipher.h"
#include <cstring>

namespace
{
constexpr DWORD kRc4KeyFlags = 0x00800000; // 128-bit key length in the upper 16 bits

} // namespace

CLinkCipher::~CLinkCipher()
{
    Release();
}

void CLinkCipher::Release()
{
    m_hSendKey.Close();
    m_hReceiveKey.Close();
    m_hProvider.Close();
}

BOOL CLinkCipher::Init(const char* pszPassPhrase)
{
    Release();
    HCRYPTPROV hProvider = 0;
    if (!CryptAcquireContextW(&hProvider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        !CryptAcquireContextW(&hProvider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET))
        return FALSE;
    m_hProvider.Attach(hProvider);
    CCryptHash hash;
    if (!CryptCreateHash(m_hProvider, CALG_MD5, 0, 0, hash.Receive())) return FALSE;
    const DWORD nLength = static_cast<DWORD>(std::strlen(pszPassPhrase));
    if (!CryptHashData(hash, reinterpret_cast<const BYTE*>(pszPassPhrase), nLength, 0)) return FALSE;
    // Both keys start in the same state; each then runs its own stream.
    if (!CryptDeriveKey(m_hProvider, CALG_RC4, hash, kRc4KeyFlags, m_hSendKey.Receive()) ||
        !CryptDeriveKey(m_hProvider, CALG_RC4, hash, kRc4KeyFlags, m_hReceiveKey.Receive()))
    {
        hash.Close(); // before its provider; neither close disturbs the error
        Release();
        return FALSE;
    }
    return TRUE;
}

bool CLinkCipher::Encrypt(BYTE* pBytes, DWORD nCount)
{
    DWORD nDone = nCount;
    return m_hSendKey.IsValid() && CryptEncrypt(m_hSendKey, 0, FALSE, 0, pBytes, &nDone, nCount) && nDone == nCount;
}

bool CLinkCipher::Decrypt(BYTE* pBytes, DWORD nCount)
{
    DWORD nDone = nCount;
    return m_hReceiveKey.IsValid() && CryptDecrypt(m_hReceiveKey, 0, FALSE, 0, pBytes, &nDone) && nDone == nCount;
}
