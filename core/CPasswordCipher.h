#pragma once
#include "framework/CString.h"
#include "framework/CArray.h"
#include "framework/CHandleOwner.h"

// Symmetric cipher for passwords and account texts sent to the contact-centre server: RC2 with a
// 128-bit key derived (MD5, CryptDeriveKey) from a pass phrase that the server shares. Cipher
// texts travel as letter pairs (BytesToLetters), which need no field escapes.
// Owns its provider and key handles. Not thread-safe: one GUI thread uses it.
class CPasswordCipher
{
public:
    CPasswordCipher() = default;
    ~CPasswordCipher();
    CPasswordCipher(const CPasswordCipher&) = delete; // owns CryptoAPI handles
    CPasswordCipher& operator=(const CPasswordCipher&) = delete;

    // TRUE when a key exists afterwards. A non-empty suffix of n characters makes the key text the
    // pass phrase without its first n characters, followed by the suffix (the suffix alone from 32
    // characters on).
    [[nodiscard]] BOOL CreateKey(LPCSTR pszSuffix = nullptr);
    // Drops the current key and provider, then CreateKey with the suffix in the thread's code page.
    [[nodiscard]] BOOL CreateKeyWithSuffix(LPCWSTR pszSuffix);
    // Empties out, then fills it with the cipher text (padded to a multiple of 8 bytes).
    BOOL Encrypt(const BYTE* pData, DWORD nCount, CByteArray& out);
    // Appends the plain bytes to out; on failure what was appended before the failing piece stays.
    BOOL Decrypt(const BYTE* pData, DWORD nCount, CByteArray& out);
    BOOL HasKey() const { return m_hKey.IsValid(); }
    // Destroys the key and releases the provider; the result is that of releasing the provider
    // (TRUE when none was held).
    BOOL Release();

private:
    BOOL AcquireProvider();

    CCryptProvider m_hProv;
    CCryptKey m_hKey; // after the provider: destroyed before it
};

// The process-wide cipher, keyed with the pass phrase alone. The agent desktop starts it when the
// server asks for encrypted passwords; it also keys itself on first use.
BOOL InitPasswordCipher();
void ReleasePasswordCipher();
// The UTF-16LE bytes of the text, encrypted, as letter pairs. FALSE (out untouched) on failure.
BOOL EncryptPassword(LPCWSTR pszText, CString& out);
// Back from letter pairs to the text. FALSE (out untouched) for text that is not letter pairs or
// does not decrypt.
BOOL DecryptPassword(LPCWSTR pszLetters, CString& out);

// Letter-pair text: each byte as two letters of "ABCDEFGHIJKLMNOP", high four bits first.
BOOL BytesToLetters(const CByteArray& bytes, CString& out);
// FALSE (bytes untouched) for an odd length or a character outside 'A'..'P'.
BOOL LettersToBytes(LPCWSTR pszLetters, CByteArray& bytes);
