#include "core/CPasswordCipher.h"
#include <wincrypt.h>
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace
{
constexpr size_t kPassPhraseLength = 32;
constexpr BYTE kMask = 0x5A;

// The pass phrase is not kept as plain text in the binary, where `strings` would show it.
consteval std::array<char, kPassPhraseLength> MaskPassPhrase(const char (&text)[kPassPhraseLength + 1])
{
    std::array<char, kPassPhraseLength> masked{};
    for (size_t i = 0; i < kPassPhraseLength; ++i)
        masked[i] = static_cast<char>(text[i] ^ (kMask + i));
    return masked;
}
constexpr auto kMaskedPassPhrase = MaskPassPhrase("Kofimax7Q#tanuLebro4sEdwUvY2pAhq");

constexpr DWORD kPieceSize = 1000;
constexpr DWORD kBlockSize = 8;
constexpr DWORD kKeyBits128 = 128u << 16; // key length lives in the upper 16 bits of the flags
constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOP";

// Wipes the key text however the function is left.
class CKeyText
{
public:
    explicit CKeyText(LPCSTR pszSuffix)
    {
        const size_t nSuffix = pszSuffix ? std::strlen(pszSuffix) : 0;
        if (nSuffix >= kPassPhraseLength)
        {
            m_text.assign(pszSuffix, nSuffix);
            return;
        }
        m_text.resize(kPassPhraseLength);
        for (size_t i = 0; i < kPassPhraseLength; ++i)
            m_text[i] = static_cast<char>(kMaskedPassPhrase[i] ^ (kMask + i));
        m_text.erase(0, nSuffix);
        if (nSuffix) m_text.append(pszSuffix, nSuffix);
    }
    ~CKeyText() { SecureZeroMemory(m_text.data(), m_text.size()); }
    CKeyText(const CKeyText&) = delete;
    CKeyText& operator=(const CKeyText&) = delete;
    const BYTE* Data() const { return reinterpret_cast<const BYTE*>(m_text.data()); }
    DWORD Size() const { return static_cast<DWORD>(m_text.size()); }

private:
    std::string m_text;
};

void AppendBytes(CByteArray& out, const BYTE* p, DWORD n)
{
    if (!n) return;
    const INT_PTR old = out.GetSize();
    out.SetSize(old + n);
    std::memcpy(out.GetData() + old, p, n);
}

CPasswordCipher& TheCipher()
{
    static CPasswordCipher cipher; // lives until the process ends; released by ReleasePasswordCipher
    return cipher;
}
} // namespace

CPasswordCipher::~CPasswordCipher()
{
    Release();
}

BOOL CPasswordCipher::AcquireProvider()
{
    if (m_hProv.IsValid()) // left from a key creation that failed later on: reuse it rather than leak it
        return TRUE;
    HCRYPTPROV hProv = 0;
    if (!CryptAcquireContextW(&hProv, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        !CryptAcquireContextW(&hProv, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET))
        return FALSE;
    m_hProv.Attach(hProv);
    return TRUE;
}

BOOL CPasswordCipher::CreateKey(LPCSTR pszSuffix)
{
    if (m_hKey.IsValid()) return TRUE;
    if (!AcquireProvider()) return FALSE;
    CCryptHash hash;
    if (!CryptCreateHash(m_hProv, CALG_MD5, 0, 0, hash.Receive())) return FALSE;
    {
        const CKeyText keyText(pszSuffix);
        if (!CryptHashData(hash, keyText.Data(), keyText.Size(), 0)) return FALSE;
    }
    CCryptKey key;
    if (!CryptDeriveKey(m_hProv, CALG_RC2, hash, kKeyBits128, key.Receive())) return FALSE;
    // The provider's default effective length is shorter than the key; the server expects 128 bits.
    const DWORD nEffectiveBits = 128;
    if (!CryptSetKeyParam(key, KP_EFFECTIVE_KEYLEN, reinterpret_cast<const BYTE*>(&nEffectiveBits), 0)) return FALSE;
    m_hKey = std::move(key);
    return TRUE;
}

BOOL CPasswordCipher::CreateKeyWithSuffix(LPCWSTR pszSuffix)
{
    Release();
    std::string suffix;
    if (pszSuffix && *pszSuffix)
    {
        const int n = WideCharToMultiByte(CP_THREAD_ACP, 0, pszSuffix, -1, nullptr, 0, nullptr, nullptr);
        if (n <= 0) return FALSE;
        suffix.resize(n);
        if (!WideCharToMultiByte(CP_THREAD_ACP, 0, pszSuffix, -1, suffix.data(), n, nullptr, nullptr)) return FALSE;
        suffix.resize(n - 1); // the terminator
    }
    const BOOL bOk = CreateKey(suffix.c_str());
    SecureZeroMemory(suffix.data(), suffix.size());
    return bOk;
}

BOOL CPasswordCipher::Encrypt(const BYTE* pData, DWORD nCount, CByteArray& out)
{
    out.RemoveAll();
    if (!m_hKey.IsValid() && !CreateKey()) return FALSE;
    if (nCount && !pData)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BYTE buffer[kPieceSize + kBlockSize];
    DWORD nDone = 0;
    do // an empty input still gives one final piece: a block of padding
    {
        const DWORD nPiece = std::min(kPieceSize, nCount - nDone);
        const BOOL bFinal = nDone + nPiece == nCount;
        if (nPiece) std::memcpy(buffer, pData + nDone, nPiece);
        DWORD nLen = nPiece;
        if (!CryptEncrypt(m_hKey, 0, bFinal, 0, buffer, &nLen, sizeof(buffer))) return FALSE;
        AppendBytes(out, buffer, nLen);
        nDone += nPiece;
    } while (nDone < nCount);
    return TRUE;
}

BOOL CPasswordCipher::Decrypt(const BYTE* pData, DWORD nCount, CByteArray& out)
{
    if (!m_hKey.IsValid() && !CreateKey()) return FALSE;
    // Cipher text is whole blocks, at least one. Anything else is refused here: a provider handed
    // an empty final piece has been seen to read before its buffer.
    if (nCount == 0 || nCount % kBlockSize)
    {
        SetLastError(static_cast<DWORD>(NTE_BAD_LEN));
        return FALSE;
    }
    if (!pData)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BYTE buffer[kPieceSize];
    DWORD nDone = 0;
    do
    {
        const DWORD nPiece = std::min(kPieceSize, nCount - nDone);
        const BOOL bFinal = nDone + nPiece == nCount;
        if (nPiece) std::memcpy(buffer, pData + nDone, nPiece);
        DWORD nLen = nPiece;
        if (!CryptDecrypt(m_hKey, 0, bFinal, 0, buffer, &nLen)) return FALSE;
        AppendBytes(out, buffer, nLen);
        nDone += nPiece;
    } while (nDone < nCount);
    return TRUE;
}

BOOL CPasswordCipher::Release()
{
    const DWORD err = GetLastError();
    m_hKey.Close();
    if (!m_hProv.Release()) return FALSE;
    SetLastError(err);
    return TRUE;
}

BOOL InitPasswordCipher()
{
    std::array<wchar_t, kPassPhraseLength + 1> phrase{};
    for (size_t i = 0; i < kPassPhraseLength; ++i)
        phrase[i] = static_cast<wchar_t>(static_cast<BYTE>(kMaskedPassPhrase[i] ^ (kMask + i)));
    // A suffix as long as the pass phrase replaces all of it.
    const BOOL bOk = TheCipher().CreateKeyWithSuffix(phrase.data());
    SecureZeroMemory(phrase.data(), sizeof(phrase));
    return bOk;
}

void ReleasePasswordCipher()
{
    TheCipher().Release();
}

BOOL EncryptPassword(LPCWSTR pszText, CString& out)
{
    const DWORD nBytes = static_cast<DWORD>((pszText ? std::wcslen(pszText) : 0) * sizeof(wchar_t));
    CByteArray cipher;
    if (!TheCipher().Encrypt(reinterpret_cast<const BYTE*>(pszText), nBytes, cipher)) return FALSE;
    return BytesToLetters(cipher, out);
}

BOOL DecryptPassword(LPCWSTR pszLetters, CString& out)
{
    CByteArray cipher;
    if (!LettersToBytes(pszLetters, cipher)) return FALSE;
    CByteArray plain;
    if (!TheCipher().Decrypt(cipher.GetData(), static_cast<DWORD>(cipher.GetSize()), plain)) return FALSE;
    // The text is read as whole UTF-16 units: an odd last byte becomes a unit of its own, so the
    // terminator that follows is never straddled.
    if (plain.GetSize() % 2) plain.Add(0);
    const INT_PTR nUnits = plain.GetSize() / 2;
    std::vector<wchar_t> text(nUnits + 1, L'\0');
    if (nUnits) std::memcpy(text.data(), plain.GetData(), nUnits * sizeof(wchar_t));
    out = text.data(); // up to the first zero unit, as a zero-terminated string
    SecureZeroMemory(plain.GetData(), plain.GetSize());
    SecureZeroMemory(text.data(), text.size() * sizeof(wchar_t));
    return TRUE;
}

BOOL BytesToLetters(const CByteArray& bytes, CString& out)
{
    const INT_PTR n = bytes.GetSize();
    std::wstring text(static_cast<size_t>(n) * 2, L'\0');
    const BYTE* p = bytes.GetData();
    for (INT_PTR i = 0; i < n; ++i)
    {
        text[2 * i] = kLetters[p[i] >> 4];
        text[2 * i + 1] = kLetters[p[i] & 0x0F];
    }
    out = text.c_str();
    return TRUE;
}

BOOL LettersToBytes(LPCWSTR pszLetters, CByteArray& bytes)
{
    const size_t nLetters = pszLetters ? std::wcslen(pszLetters) : 0;
    if (nLetters % 2) return FALSE;
    std::vector<BYTE> result(nLetters / 2);
    for (size_t i = 0; i < nLetters; ++i)
    {
        const wchar_t c = pszLetters[i];
        if (c < L'A' || c > L'P') // anything else would quietly become some byte
            return FALSE;
        const BYTE nibble = static_cast<BYTE>(c - L'A');
        result[i / 2] = static_cast<BYTE>(i % 2 ? (result[i / 2] | nibble) : nibble << 4);
    }
    bytes.SetSize(static_cast<INT_PTR>(result.size()));
    if (!result.empty()) std::memcpy(bytes.GetData(), result.data(), result.size());
    return TRUE;
}
