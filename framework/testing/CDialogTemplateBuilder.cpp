#include "framework/testing/CDialogTemplateBuilder.h"
#include <cstring>

namespace
{
template <class T> void Append(std::vector<WORD>& words, const T& value)
{
    const size_t at = words.size();
    words.resize(at + sizeof(T) / sizeof(WORD));
    std::memcpy(&words[at], &value, sizeof(T));
}
} // namespace

CDialogTemplateBuilder::CDialogTemplateBuilder(LPCWSTR lpszCaption, DWORD dwStyle, short cx, short cy, LPCWSTR lpszFace)
{
    DLGTEMPLATE dlg{};
    dlg.style = dwStyle | DS_SETFONT;
    dlg.cx = cx;
    dlg.cy = cy;
    Append(m_words, dlg);
    m_words.push_back(0); // no menu
    m_words.push_back(0); // the dialog class
    AddText(lpszCaption);
    m_words.push_back(8); // point size, then the face name (DS_SETFONT)
    AddText(lpszFace);
}

CDialogTemplateBuilder& CDialogTemplateBuilder::AddControl(LPCWSTR lpszClass, LPCWSTR lpszText, DWORD dwStyle, short x,
                                                           short y, short cx, short cy, WORD nID)
{
    AlignToDword();
    DLGITEMTEMPLATE item{};
    item.style = dwStyle | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = nID;
    Append(m_words, item);
    AddText(lpszClass);
    AddText(lpszText ? lpszText : L"");
    m_words.push_back(0); // no creation data
    // The count of items lives in the header.
    reinterpret_cast<DLGTEMPLATE*>(m_words.data())->cdit++;
    return *this;
}

void CDialogTemplateBuilder::AddText(LPCWSTR text)
{
    for (; *text; ++text)
        m_words.push_back(static_cast<WORD>(*text));
    m_words.push_back(0);
}

void CDialogTemplateBuilder::AlignToDword()
{
    if (m_words.size() % 2) m_words.push_back(0);
}
