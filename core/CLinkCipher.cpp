#include "core/CLinkCipher.h"
#include <cstring>

namespace
{

// Releasing handles must not change the error its caller is about to report.
class CKeepLastError
{
public:
    CKeepLastError() : m_nError(GetLastError()) {}
    ~CKeepLastError() { SetLastError(m_nError); }
    CKeepLastError(const CKeepLastError&) = delete;
    CKeepLastError& operator=(const CKeepLastError&) = delete;

private:
    DWORD m_nError;
};

class CHashHandle
{
public:
    explicit CHashHandle(HCRYPTHASH hHash) : m_hHash(hHash) {}
    ~CHashHandle()
    {
        CKeepLastError keep;
        if (m_hHash) CryptDestroyHash(m_hHash);
    }
    CHashHandle(const CHashHandle&) = delete;
    CHashHandle& operator=(const CHashHandle&) = delete;

private:
    HCRYPTHASH m_hHash;
};

constexpr DWORD kRc4KeyFlags = 0x00800000; // 128-bit key length in the upper 16 bits

} // namespace

CLinkCipher::~CLinkCipher()
{
    Release();
}

void CLinkCipher::Release()
{
    CKeepLastError keep;
    if (m_hSendKey) CryptDestroyKey(m_hSendKey);
    if (m_hReceiveKey) CryptDestroyKey(m_hReceiveKey);
    if (m_hProvider) CryptReleaseContext(m_hProvider, 0);
    m_hSendKey = 0;
    m_hReceiveKey = 0;
    m_hProvider = 0;
}

BOOL CLinkCipher::Init(const char* pszPassPhrase)
{
    Release();
    if (!CryptAcquireContextW(&m_hProvider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        !CryptAcquireContextW(&m_hProvider, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET))
    {
        m_hProvider = 0;
        return FALSE;
    }
    HCRYPTHASH hHash = 0;
    if (!CryptCreateHash(m_hProvider, CALG_MD5, 0, 0, &hHash)) return FALSE;
    CHashHandle hash(hHash);
    const DWORD nLength = static_cast<DWORD>(std::strlen(pszPassPhrase));
    if (!CryptHashData(hHash, reinterpret_cast<const BYTE*>(pszPassPhrase), nLength, 0)) return FALSE;
    // Both keys start in the same state; each then runs its own stream.
    if (!CryptDeriveKey(m_hProvider, CALG_RC4, hHash, kRc4KeyFlags, &m_hSendKey) ||
        !CryptDeriveKey(m_hProvider, CALG_RC4, hHash, kRc4KeyFlags, &m_hReceiveKey))
    {
        const DWORD nError = GetLastError();
        Release();
        SetLastError(nError);
        return FALSE;
    }
    return TRUE;
}

bool CLinkCipher::Encrypt(BYTE* pBytes, DWORD nCount)
{
    DWORD nDone = nCount;
    return m_hSendKey && CryptEncrypt(m_hSendKey, 0, FALSE, 0, pBytes, &nDone, nCount) && nDone == nCount;
}

bool CLinkCipher::Decrypt(BYTE* pBytes, DWORD nCount)
{
    DWORD nDone = nCount;
    return m_hReceiveKey && CryptDecrypt(m_hReceiveKey, 0, FALSE, 0, pBytes, &nDone) && nDone == nCount;
}
