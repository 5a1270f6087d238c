#include "core/CPasswordCipher.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

// The vectors are computed by an RC2 of its own (tests/peers/rc2.py, which checks the same file):
// what the server decrypts must be exactly what the CryptoAPI calls produce here.
namespace
{
struct PasswordVector
{
    int nLine;
    std::wstring suffix;
    std::wstring password;
    std::wstring letters;
};

std::wstring FromUtf8(const std::string& text)
{
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// "*<n>:<text>" is the text repeated to n characters.
std::wstring ExpandPassword(const std::wstring& field)
{
    if (field.empty() || field[0] != L'*') return field;
    const size_t colon = field.find(L':');
    const size_t n = std::stoul(field.substr(1, colon - 1));
    const std::wstring piece = field.substr(colon + 1);
    std::wstring text;
    while (text.size() < n)
        text += piece;
    return text.substr(0, n);
}

std::vector<PasswordVector> ReadVectors()
{
    std::vector<PasswordVector> vectors;
    std::ifstream file(LUMO_PASSWORD_VECTORS, std::ios::binary);
    std::string line;
    for (int nLine = 1; std::getline(file, line); ++nLine)
    {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const size_t tab1 = line.find('\t');
        const size_t tab2 = line.find('\t', tab1 + 1);
        if (tab1 == std::string::npos || tab2 == std::string::npos)
        {
            ADD_FAILURE() << "line " << nLine << " is not suffix<TAB>password<TAB>letters";
            continue;
        }
        vectors.push_back({nLine, FromUtf8(line.substr(0, tab1)),
                           ExpandPassword(FromUtf8(line.substr(tab1 + 1, tab2 - tab1 - 1))),
                           FromUtf8(line.substr(tab2 + 1))});
    }
    return vectors;
}

CByteArray MakeBytes(std::initializer_list<BYTE> bytes)
{
    CByteArray array;
    for (BYTE b : bytes)
        array.Add(b);
    return array;
}

std::vector<BYTE> ToVector(const CByteArray& array)
{
    return std::vector<BYTE>(array.GetData(), array.GetData() + array.GetSize());
}

std::wstring LettersOf(CPasswordCipher& cipher, const void* pData, DWORD nCount)
{
    CByteArray encrypted;
    EXPECT_TRUE(cipher.Encrypt(static_cast<const BYTE*>(pData), nCount, encrypted));
    CString letters;
    EXPECT_TRUE(BytesToLetters(encrypted, letters));
    return static_cast<LPCWSTR>(letters);
}

class PasswordCipherTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(InitPasswordCipher()) << "error " << GetLastError(); }
    void TearDown() override { ReleasePasswordCipher(); }
};
} // namespace

TEST(PasswordVectors, FileHoldsVectorsWithAndWithoutSuffix)
{
    const auto vectors = ReadVectors();
    ASSERT_GE(vectors.size(), 10u) << "expected the vectors of " << LUMO_PASSWORD_VECTORS;
    EXPECT_TRUE(std::any_of(vectors.begin(), vectors.end(), [](const auto& v) { return !v.suffix.empty(); }));
    EXPECT_TRUE(std::any_of(vectors.begin(), vectors.end(), [](const auto& v) { return v.password.size() == 600; }));
}

TEST_F(PasswordCipherTest, EncryptPasswordGivesTheIndependentCipherText)
{
    for (const auto& v : ReadVectors())
    {
        if (!v.suffix.empty()) continue;
        SCOPED_TRACE("vector of line " + std::to_string(v.nLine));
        CString letters;
        ASSERT_TRUE(EncryptPassword(v.password.c_str(), letters));
        EXPECT_EQ(std::wstring(letters), v.letters);
        CString back;
        ASSERT_TRUE(DecryptPassword(v.letters.c_str(), back));
        EXPECT_EQ(std::wstring(back), v.password);
    }
}

TEST(CPasswordCipher, SuffixReplacesTheEndOfThePassPhrase)
{
    for (const auto& v : ReadVectors())
    {
        if (v.suffix.empty()) continue;
        SCOPED_TRACE("vector of line " + std::to_string(v.nLine));
        CPasswordCipher cipher;
        ASSERT_TRUE(cipher.CreateKeyWithSuffix(v.suffix.c_str()));
        EXPECT_EQ(LettersOf(cipher, v.password.data(), static_cast<DWORD>(v.password.size() * 2)), v.letters);
        CByteArray encrypted, plain;
        ASSERT_TRUE(LettersToBytes(v.letters.c_str(), encrypted));
        ASSERT_TRUE(cipher.Decrypt(encrypted.GetData(), static_cast<DWORD>(encrypted.GetSize()), plain));
        EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(plain.GetData()), plain.GetSize() / 2), v.password);
    }
}

TEST_F(PasswordCipherTest, LetterCountFollowsThePiecesAndPadding)
{
    struct LengthCase
    {
        size_t nChars;
        size_t nLetters;
        const char* why;
    };
    const LengthCase cases[] = {
        {0, 16, "an empty text is one block of padding"},
        {3, 16, "6 bytes pad to one block"},
        {4, 32, "8 bytes get a whole block of padding"},
        {500, 2016, "1000 bytes: one final piece, padded by a whole block"},
        {600, 2416, "1200 bytes: a piece of 1000, then 200 padded to 208"},
        {1000, 4016, "2000 bytes: two pieces, the second padded by a whole block"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        const std::wstring password(c.nChars, L'x');
        CString letters;
        ASSERT_TRUE(EncryptPassword(password.c_str(), letters));
        EXPECT_EQ(static_cast<size_t>(letters.GetLength()), c.nLetters);
        CString back;
        ASSERT_TRUE(DecryptPassword(letters, back));
        EXPECT_EQ(std::wstring(back), password);
    }
}

TEST_F(PasswordCipherTest, AccountTextsRoundTrip)
{
    const wchar_t* texts[] = {L"S-1-5-21-1004336348-1177238915-682003330-512", L"WORKSTATION-17", L"Müller\\Zoë", L"a"};
    for (const wchar_t* text : texts)
    {
        SCOPED_TRACE(testing::Message() << "text of " << wcslen(text) << " characters");
        CString letters, back;
        ASSERT_TRUE(EncryptPassword(text, letters));
        ASSERT_TRUE(DecryptPassword(letters, back));
        EXPECT_EQ(std::wstring(back), text);
    }
}

TEST(CPasswordCipher, CreatesItsKeyOnFirstUseAndReleasesIt)
{
    CPasswordCipher cipher;
    EXPECT_FALSE(cipher.HasKey());
    const wchar_t password[] = L"secret";
    EXPECT_EQ(LettersOf(cipher, password, 12), L"PMINJMPGOIMCFIDMNAAFEDOIMOCIKKIF");
    EXPECT_TRUE(cipher.HasKey());
    EXPECT_TRUE(cipher.CreateKey("XYZ")) << "a key that exists is kept";
    EXPECT_EQ(LettersOf(cipher, password, 12), L"PMINJMPGOIMCFIDMNAAFEDOIMOCIKKIF")
        << "the suffix must not replace the key";
    EXPECT_TRUE(cipher.Release());
    EXPECT_FALSE(cipher.HasKey());
    EXPECT_TRUE(cipher.Release()) << "nothing left to release";
}

TEST(CPasswordCipher, EncryptEmptiesItsOutputAndDecryptAppends)
{
    CPasswordCipher cipher;
    const BYTE plain[] = {'s', 0, 'e', 0};
    CByteArray encrypted = MakeBytes({9, 9, 9});
    ASSERT_TRUE(cipher.Encrypt(plain, sizeof(plain), encrypted));
    EXPECT_EQ(encrypted.GetSize(), 8) << "the stale bytes must be gone";
    CByteArray decrypted = MakeBytes({7});
    ASSERT_TRUE(cipher.Decrypt(encrypted.GetData(), static_cast<DWORD>(encrypted.GetSize()), decrypted));
    EXPECT_EQ(ToVector(decrypted), (std::vector<BYTE>{7, 's', 0, 'e', 0}));
}

TEST(LetterPairs, BytesBecomeTwoLettersHighHalfFirst)
{
    CString letters;
    ASSERT_TRUE(BytesToLetters(MakeBytes({0x00, 0x4F, 0xFF}), letters));
    EXPECT_EQ(std::wstring(letters), L"AAEPPP");
    CByteArray bytes;
    ASSERT_TRUE(LettersToBytes(letters, bytes));
    EXPECT_EQ(ToVector(bytes), (std::vector<BYTE>{0x00, 0x4F, 0xFF}));
    ASSERT_TRUE(LettersToBytes(L"", bytes));
    EXPECT_EQ(bytes.GetSize(), 0);
}

TEST(LetterPairs, TextThatIsNotLetterPairsLeavesTheArrayAlone)
{
    struct BadCase
    {
        const wchar_t* text;
        const char* why;
    };
    const BadCase cases[] = {
        {L"AAB", "an odd number of letters"},
        {L"AQ", "Q is past P"},
        {L"aa", "lower case"},
        {L"A@", "the character before A"},
        {L"A\u00C1", "a letter that is not ASCII"},
        {L"AA AA", "a blank in between"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CByteArray bytes = MakeBytes({1, 2, 3});
        EXPECT_FALSE(LettersToBytes(c.text, bytes));
        EXPECT_EQ(ToVector(bytes), (std::vector<BYTE>{1, 2, 3}));
    }
}

TEST_F(PasswordCipherTest, CorruptLettersFailAndLeaveTheTextAlone)
{
    const std::wstring secret = L"PMINJMPGOIMCFIDMNAAFEDOIMOCIKKIF"; // "secret": two blocks
    struct CorruptCase
    {
        std::wstring letters;
        const char* why;
    };
    const CorruptCase cases[] = {
        {secret.substr(0, 31), "an odd number of letters"},
        {L"", "no cipher text at all"},
        {secret.substr(0, 14), "seven bytes: not a whole block"},
        {secret.substr(0, 16), "the first block alone: its last byte is no padding"},
        {secret.substr(0, 31) + L"A", "the last byte changed: the padding is wrong"},
        {secret.substr(0, 16) + L"Q" + secret.substr(17), "a letter past P"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        CString text(L"unchanged");
        EXPECT_FALSE(DecryptPassword(c.letters.c_str(), text));
        EXPECT_EQ(std::wstring(text), L"unchanged");
    }
}

TEST_F(PasswordCipherTest, OddPlainTextIsReadWithoutReachingPastIt)
{
    struct OddCase
    {
        std::vector<BYTE> plain;
        const wchar_t* text;
        const char* why;
    };
    const OddCase cases[] = {
        {{'A', 0, 'B'}, L"AB", "the odd last byte becomes a character of its own"},
        {{'A'}, L"A", "a single byte"},
        {{'A', 0, 'B', 0}, L"AB", "the even form of the same text"},
        {{'A', 0, 0, 0, 'B', 0}, L"A", "the text ends at the first zero character"},
    };
    CPasswordCipher cipher; // no suffix: the same key as the process-wide cipher
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.why);
        const std::wstring letters = LettersOf(cipher, c.plain.data(), static_cast<DWORD>(c.plain.size()));
        CString text;
        ASSERT_TRUE(DecryptPassword(letters.c_str(), text));
        EXPECT_EQ(std::wstring(text), c.text);
    }
}

TEST(PasswordCipherProcessWide, KeysItselfWithoutInit)
{
    ReleasePasswordCipher();
    CString letters;
    ASSERT_TRUE(EncryptPassword(L"secret", letters));
    EXPECT_EQ(std::wstring(letters), L"PMINJMPGOIMCFIDMNAAFEDOIMOCIKKIF");
    ReleasePasswordCipher();
}
