#include "framework/CDialogTemplateFont.h"
#include "framework/CHandleOwner.h"
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <mutex>
#include <tuple>
#include <utility>

namespace
{
// The platform dialog font ("MS Shell Dlg", Tahoma or Microsoft Sans Serif at 8 points on 96 dpi)
// has a horizontal base unit of 6 pixels for its em of 11 pixels; the templates are laid out for it.
constexpr int kDialogBaseWidth = 6, kDialogEm = 11;

// Walks a template's bytes; every read past the end leaves the cursor failed.
class CTemplateCursor
{
public:
    explicit CTemplateCursor(const BYTE* pStart) : m_pStart(pStart) {}
    size_t Offset() const { return m_nOffset; }
    WORD Word() { return Read<WORD>(); }
    DWORD Dword() { return Read<DWORD>(); }
    void Skip(size_t nBytes) { m_nOffset += nBytes; }
    void AlignDword() { m_nOffset = (m_nOffset + 3) & ~static_cast<size_t>(3); }
    // A name or an ordinal (0xFFFF and a word); an empty name (a single 0) stands for none.
    void SkipNameOrOrdinal()
    {
        if (Peek() == 0xFFFF)
            Skip(4);
        else
            SkipText();
    }
    CString Text()
    {
        const auto* psz = reinterpret_cast<const wchar_t*>(m_pStart + m_nOffset);
        CString text(psz);
        m_nOffset += (wcslen(psz) + 1) * sizeof(wchar_t);
        return text;
    }
    void SkipText() { Text(); }

private:
    template <class T> T Read()
    {
        T value{};
        memcpy(&value, m_pStart + m_nOffset, sizeof(T));
        m_nOffset += sizeof(T);
        return value;
    }
    WORD Peek() const
    {
        WORD value{};
        memcpy(&value, m_pStart + m_nOffset, sizeof(WORD));
        return value;
    }
    const BYTE* m_pStart;
    size_t m_nOffset = 0;
};

bool IsExtended(LPCDLGTEMPLATE pTemplate)
{
    const auto* pWords = reinterpret_cast<const WORD*>(pTemplate);
    return pWords[0] == 1 && pWords[1] == 0xFFFF;
}

int EmPixels(HDC hDC, WORD nPointSize)
{
    return MulDiv(nPointSize, GetDeviceCaps(hDC, LOGPIXELSY), 72);
}

CGdiHandle<HFONT> CreateDialogFont(HDC hDC, LPCWSTR pszFace, WORD nPointSize)
{
    LOGFONTW lf{};
    lf.lfHeight = -EmPixels(hDC, nPointSize);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(lf.lfFaceName, pszFace, LF_FACESIZE - 1);
    return CGdiHandle<HFONT>(CreateFontIndirectW(&lf));
}

CReleasedDCHandle ScreenDC()
{
    return CReleasedDCHandle(CReleasedDC{nullptr, GetDC(nullptr)});
}

// The face the system really uses for a font that names pszFace.
CString SelectedFace(LPCWSTR pszFace, WORD nPointSize)
{
    CReleasedDCHandle dc = ScreenDC();
    if (!dc.Get().hDC) return CString();
    CGdiHandle<HFONT> font = CreateDialogFont(dc.Get().hDC, pszFace, nPointSize);
    if (!font.IsValid()) return CString();
    CGdiSelectionHandle keep(CGdiSelection{dc.Get().hDC, SelectObject(dc.Get().hDC, font.Get())});
    wchar_t face[LF_FACESIZE] = L"";
    if (!GetTextFaceW(dc.Get().hDC, LF_FACESIZE, face)) return CString();
    return CString(face);
}

// "Tahoma" for "MS Shell Dlg": the registry's substitute, without the character set it may name.
CString SubstituteOf(LPCWSTR pszFace)
{
    wchar_t value[LF_FACESIZE * 2] = L"";
    DWORD nBytes = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes", pszFace,
                     RRF_RT_REG_SZ, nullptr, value, &nBytes) != ERROR_SUCCESS)
        return CString();
    CString text(value);
    const int nComma = text.Find(L',');
    return nComma < 0 ? text : text.Left(nComma);
}

int CALLBACK CollectFace(const LOGFONTW* pFont, const TEXTMETRICW* pMetric, DWORD, LPARAM lParam)
{
    auto& faces = *reinterpret_cast<std::map<CString, bool>*>(lParam);
    // Vertical faces, symbols and fixed pitch never stand in for a dialog's text.
    if (pFont->lfFaceName[0] == L'@' || pFont->lfCharSet == SYMBOL_CHARSET ||
        !(pMetric->tmPitchAndFamily & TMPF_FIXED_PITCH)) // the bit set means variable pitch
        return 1;
    faces.emplace(CString(pFont->lfFaceName), (pFont->lfPitchAndFamily & 0xF0) == FF_SWISS);
    return 1;
}
} // namespace

bool CDialogTemplateFont::Read(LPCDLGTEMPLATE pTemplate)
{
    m_strFace.Empty();
    m_nPointSize = 0;
    m_nFaceOffset = m_nItemsOffset = m_nSize = 0;
    return pTemplate && Parse(pTemplate);
}

bool CDialogTemplateFont::Parse(LPCDLGTEMPLATE pTemplate)
{
    const bool bExtended = IsExtended(pTemplate);
    CTemplateCursor cursor(reinterpret_cast<const BYTE*>(pTemplate));
    DWORD dwStyle;
    WORD nItems;
    if (bExtended)
    {
        cursor.Skip(4 + 4 + 4); // version and signature, help id, extended style
        dwStyle = cursor.Dword();
    }
    else
    {
        dwStyle = cursor.Dword();
        cursor.Skip(4); // extended style
    }
    nItems = cursor.Word();
    cursor.Skip(4 * sizeof(short)); // x, y, cx, cy
    cursor.SkipNameOrOrdinal();     // menu
    cursor.SkipNameOrOrdinal();     // window class
    cursor.SkipText();              // title
    if (!(dwStyle & DS_SETFONT)) return false;
    m_nPointSize = cursor.Word();
    if (bExtended) cursor.Skip(2 + 1 + 1); // weight, italic, character set
    m_nFaceOffset = cursor.Offset();
    m_strFace = cursor.Text();
    cursor.AlignDword();
    m_nItemsOffset = cursor.Offset();
    for (WORD i = 0; i < nItems; ++i)
    {
        cursor.AlignDword();
        cursor.Skip(bExtended ? 4 + 4 + 4 + 8 + 4 : 4 + 4 + 8 + 2);
        cursor.SkipNameOrOrdinal(); // class
        cursor.SkipNameOrOrdinal(); // text
        const WORD nExtra = cursor.Word();
        // An extended item counts the bytes that follow; a plain one counts its count word too.
        cursor.Skip(bExtended ? nExtra : (nExtra > 2 ? nExtra - 2u : 0u));
    }
    m_nSize = cursor.Offset();
    return true;
}

bool CDialogTemplateFont::MakeFallbackCopy(LPCDLGTEMPLATE pTemplate, std::vector<BYTE>& copy)
{
    copy.clear();
    if (!Read(pTemplate) || m_strFace.IsEmpty()) return false;
    // Each template is asked about once per dialog; the fonts do not change while the program runs.
    static std::mutex s_lock;
    static std::map<std::pair<CString, WORD>, CString> s_fallbacks; // empty: the face is there
    CString strFallback;
    {
        std::lock_guard<std::mutex> guard(s_lock);
        const auto key = std::make_pair(m_strFace, m_nPointSize);
        const auto it = s_fallbacks.find(key);
        if (it != s_fallbacks.end())
            strFallback = it->second;
        else
        {
            if (!IsFaceInstalled(m_strFace, m_nPointSize)) strFallback = FindFallbackFace(m_nPointSize);
            s_fallbacks.emplace(key, strFallback);
        }
    }
    if (strFallback.IsEmpty()) return false;
    const auto* pBytes = reinterpret_cast<const BYTE*>(pTemplate);
    copy.assign(pBytes, pBytes + m_nFaceOffset);
    const auto* pFace = reinterpret_cast<const BYTE*>(strFallback.GetString());
    copy.insert(copy.end(), pFace, pFace + (strFallback.GetLength() + 1) * sizeof(wchar_t));
    copy.resize((copy.size() + 3) & ~static_cast<size_t>(3), 0); // the controls start DWORD aligned
    copy.insert(copy.end(), pBytes + m_nItemsOffset, pBytes + m_nSize);
    return true;
}

bool CDialogTemplateFont::IsFaceInstalled(LPCWSTR pszFace, WORD nPointSize)
{
    const CString strSelected = SelectedFace(pszFace, nPointSize);
    if (strSelected.IsEmpty()) return true; // nothing better can be said: leave the template alone
    if (strSelected.CompareNoCase(pszFace) == 0) return true;
    const CString strSubstitute = SubstituteOf(pszFace);
    return !strSubstitute.IsEmpty() && strSelected.CompareNoCase(strSubstitute) == 0;
}

int CDialogTemplateFont::MeasureBaseWidth(LPCWSTR pszFace, WORD nPointSize)
{
    CReleasedDCHandle dc = ScreenDC();
    if (!dc.Get().hDC) return 0;
    CGdiHandle<HFONT> font = CreateDialogFont(dc.Get().hDC, pszFace, nPointSize);
    if (!font.IsValid()) return 0;
    CGdiSelectionHandle keep(CGdiSelection{dc.Get().hDC, SelectObject(dc.Get().hDC, font.Get())});
    static constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE size{};
    if (!GetTextExtentPoint32W(dc.Get().hDC, kLetters, 52, &size)) return 0;
    return (size.cx / 26 + 1) / 2;
}

CString CDialogTemplateFont::FindFallbackFace(WORD nPointSize)
{
    std::map<CString, bool> faces; // face -> sans-serif
    int nTarget = 0;
    {
        CReleasedDCHandle dc = ScreenDC();
        if (!dc.Get().hDC) return CString();
        LOGFONTW all{};
        all.lfCharSet = DEFAULT_CHARSET;
        EnumFontFamiliesExW(dc.Get().hDC, &all, CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
        nTarget = (kDialogBaseWidth * EmPixels(dc.Get().hDC, nPointSize) + kDialogEm / 2) / kDialogEm;
    }
    CString strBest;
    std::tuple<int, bool> best{INT_MAX, true};
    for (const auto& [strFace, bSwiss] : faces) // in name order: the first of equals wins
    {
        const int nWidth = MeasureBaseWidth(strFace, nPointSize);
        if (nWidth <= 0) continue;
        const std::tuple<int, bool> score{abs(nWidth - nTarget), !bSwiss};
        if (score < best)
        {
            best = score;
            strBest = strFace;
        }
    }
    return strBest;
}
