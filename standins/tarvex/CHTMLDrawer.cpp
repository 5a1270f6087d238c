#include "standins/tarvex/CHTMLDrawer.h"
#include "framework/CDC.h"
#include "framework/CFont.h"
#include "framework/CSelectObject.h"
#include "standins/tarvex/CPolice.h"
#include "standins/tarvex/CTarvexJournal.h"
#include <array>
#include <memory>

namespace
{
// One word, blank or line break of the text, with its style.
struct CToken
{
    enum Kind
    {
        word,
        blank,
        lineBreak
    } kind = word;
    CString strText;
    int nStyle = 0; // bit 0 bold, 1 italic, 2 underline
};

constexpr int kBold = 1;
constexpr int kItalic = 2;
constexpr int kUnderline = 4;

CString DecodeEntities(const CString& strText)
{
    struct CEntity
    {
        LPCWSTR pszName;
        wchar_t ch;
    };
    static const CEntity kEntities[] = {{L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}};
    CString strResult;
    for (int i = 0; i < strText.GetLength();)
    {
        bool bDecoded = false;
        if (strText[i] == L'&')
            for (const CEntity& entity : kEntities)
            {
                const int nLength = lstrlenW(entity.pszName);
                if (strText.Mid(i, nLength).CompareNoCase(entity.pszName) == 0)
                {
                    strResult += entity.ch;
                    i += nLength;
                    bDecoded = true;
                    break;
                }
            }
        if (!bDecoded) strResult += strText[i++];
    }
    return strResult;
}

std::vector<CToken> Tokenize(const CString& strText)
{
    std::vector<CToken> tokens;
    std::array<int, 3> depth = {0, 0, 0}; // open <b>, <i>, <u>
    CString strWord;
    const auto style = [&] {
        return (depth[0] > 0 ? kBold : 0) | (depth[1] > 0 ? kItalic : 0) | (depth[2] > 0 ? kUnderline : 0);
    };
    const auto endWord = [&] {
        if (strWord.IsEmpty()) return;
        // A word changes style inside itself ("a<b>b</b>"): each part is its own token without a blank.
        tokens.push_back({CToken::word, DecodeEntities(strWord), style()});
        strWord.Empty();
    };
    for (int i = 0; i < strText.GetLength(); ++i)
    {
        const wchar_t ch = strText[i];
        if (ch == L'<')
        {
            const int nClose = strText.Find(L'>', i + 1);
            if (nClose < 0)
            {
                strWord += ch; // not a tag: a lone '<' is text
                continue;
            }
            CString strTag = strText.Mid(i + 1, nClose - i - 1);
            strTag.Trim();
            strTag.MakeLower();
            i = nClose;
            const bool bEnd = !strTag.IsEmpty() && strTag[0] == L'/';
            if (bEnd) strTag = strTag.Mid(1);
            strTag.TrimRight(L"/ ");
            static const LPCWSTR kStyleTags[] = {L"b", L"i", L"u"};
            for (size_t s = 0; s < 3; ++s)
                if (strTag == kStyleTags[s])
                {
                    endWord();
                    depth[s] += bEnd ? (depth[s] > 0 ? -1 : 0) : 1;
                }
            if (strTag == L"br")
            {
                endWord();
                tokens.push_back({CToken::lineBreak, CString(), 0});
            }
            continue;
        }
        if (ch == L' ' || ch == L'\t' || ch == L'\r' || ch == L'\n')
        {
            endWord();
            if (tokens.empty() || tokens.back().kind != CToken::blank) tokens.push_back({CToken::blank, L" ", style()});
            continue;
        }
        strWord += ch;
    }
    endWord();
    return tokens;
}

// The four styles' fonts, made once per layout.
class CStyleFonts
{
public:
    CStyleFonts(CDC* pDC, const CPolice& font) : m_pDC(pDC), m_font(font) {}
    CFont* Get(int nStyle)
    {
        auto& pFont = m_fonts[static_cast<size_t>(nStyle)];
        if (!pFont)
            pFont.reset(m_font.DonnerFont(m_pDC, m_font.m_bBold || (nStyle & kBold),
                                          m_font.m_bItalic || (nStyle & kItalic),
                                          m_font.m_bUnderline || (nStyle & kUnderline)));
        return pFont.get();
    }

private:
    CDC* m_pDC;
    const CPolice& m_font;
    std::array<std::unique_ptr<CFont>, 8> m_fonts;
};

SIZE Measure(CDC* pDC, CFont* pFont, const CString& strText)
{
    SIZE size = {0, 0};
    if (!pFont) return size;
    CSelectObject select(*pDC, *pFont);
    GetTextExtentPoint32W(pDC->GetSafeHdc(), strText.GetString(), strText.GetLength(), &size);
    if (strText.IsEmpty())
    {
        TEXTMETRICW tm = {};
        GetTextMetricsW(pDC->GetSafeHdc(), &tm);
        size.cy = tm.tmHeight;
    }
    return size;
}
} // namespace

std::vector<CHTMLDrawer::CLine> CHTMLDrawer::LayOut(CDC* pDC, const CString& strText, const CPolice& font, int nWidth,
                                                    int nAlign)
{
    CStyleFonts fonts(pDC, font);
    const int nEmptyHeight = Measure(pDC, fonts.Get(0), CString()).cy;
    std::vector<CLine> lines(1);
    int nX = 0;
    bool bPendingBlank = false;
    int nBlankStyle = 0;
    for (const CToken& token : Tokenize(strText))
    {
        CLine& line = lines.back();
        if (token.kind == CToken::lineBreak)
        {
            lines.emplace_back();
            nX = 0;
            bPendingBlank = false;
            continue;
        }
        if (token.kind == CToken::blank)
        {
            bPendingBlank = !line.m_runs.empty(); // blanks at the start of a line are not drawn
            nBlankStyle = token.nStyle;
            continue;
        }
        CRun run;
        run.m_strText = token.strText;
        run.m_bBold = (token.nStyle & kBold) != 0;
        run.m_bItalic = (token.nStyle & kItalic) != 0;
        run.m_bUnderline = (token.nStyle & kUnderline) != 0;
        const SIZE word = Measure(pDC, fonts.Get(token.nStyle), token.strText);
        const int nBlank = bPendingBlank ? Measure(pDC, fonts.Get(nBlankStyle), L" ").cx : 0;
        if (bPendingBlank && nX + nBlank + word.cx > nWidth)
        {
            lines.emplace_back(); // wrap; a word wider than the box alone on its line overflows and is clipped
            nX = 0;
        }
        else
            nX += nBlank;
        bPendingBlank = false;
        run.m_nLeft = nX;
        run.m_nWidth = word.cx;
        nX += word.cx;
        lines.back().m_nHeight = std::max(lines.back().m_nHeight, static_cast<int>(word.cy));
        lines.back().m_runs.push_back(run);
    }
    int nTop = 0;
    for (CLine& line : lines)
    {
        if (line.m_nHeight == 0) line.m_nHeight = nEmptyHeight;
        line.m_nTop = nTop;
        nTop += line.m_nHeight;
        if (line.m_runs.empty() || nAlign == 0) continue;
        const int nUsed = line.m_runs.back().m_nLeft + line.m_runs.back().m_nWidth;
        const int nShift = nAlign == 1 ? (nWidth - nUsed) / 2 : nWidth - nUsed;
        for (CRun& run : line.m_runs)
            run.m_nLeft += std::max(0, nShift);
    }
    return lines;
}

int CHTMLDrawer::FindHeight(CDC* pDC, const CString& strText, const CPolice& font, const CRect& box)
{
    const std::vector<CLine> lines = LayOut(pDC, strText, font, box.Width(), 0);
    const int nHeight = lines.back().m_nTop + lines.back().m_nHeight;
    CTarvexJournal::Append(L"CHTMLDrawer", L"FindHeight", strText, CTarvexJournal::FromLong(nHeight));
    return nHeight;
}

int CHTMLDrawer::DrawHTMLText(CDC* pDC, const CString& strText, const CPolice& font, COLORREF color, const CRect& box,
                              int nAlign)
{
    if (!pDC || !pDC->GetSafeHdc()) return 0;
    const std::vector<CLine> lines = LayOut(pDC, strText, font, box.Width(), nAlign);
    CStyleFonts fonts(pDC, font);
    const int nSaved = pDC->SaveDC(); // clip, colours and mode go back as they were
    pDC->IntersectClipRect(box.left, box.top, box.right, box.bottom);
    pDC->SetTextColor(color);
    pDC->SetBkMode(TRANSPARENT);
    for (const CLine& line : lines)
        for (const CRun& run : line.m_runs)
        {
            const int nStyle =
                (run.m_bBold ? kBold : 0) | (run.m_bItalic ? kItalic : 0) | (run.m_bUnderline ? kUnderline : 0);
            CFont* pFont = fonts.Get(nStyle);
            if (!pFont) continue;
            CSelectObject select(*pDC, *pFont);
            TextOutW(pDC->GetSafeHdc(), box.left + run.m_nLeft, box.top + line.m_nTop, run.m_strText.GetString(),
                     run.m_strText.GetLength());
        }
    pDC->RestoreDC(nSaved);
    const int nHeight = lines.back().m_nTop + lines.back().m_nHeight;
    CTarvexJournal::Append(L"CHTMLDrawer", L"DrawHTMLText", strText, CTarvexJournal::FromLong(nHeight));
    return nHeight;
}
