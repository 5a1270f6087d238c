#include "core/CMailMessage.h"
#include "core/CPropertyList.h"
#include "core/CStaticTools.h"

namespace
{
constexpr wchar_t kListSeparator = 0xA7;

void WriteAddresses(CPropertyList& list, LPCWSTR pszKey, const CStringArray& addresses)
{
    CString strValue;
    CStaticTools::WriteStringSeparatorString(strValue, kListSeparator, addresses);
    list.SetProperty(pszKey, strValue);
}

void ReadAddresses(const CPropertyList& list, LPCWSTR pszKey, CStringArray& addresses)
{
    CString strValue;
    if (list.GetProperty(pszKey, strValue))
        CStaticTools::ReadStringSeparatorString(strValue, kListSeparator, addresses);
}
} // namespace

CMailMessage::CMailMessage(const CMailMessage& other, bool bCopyData)
    : CMessage(other, bCopyData), m_strFrom(other.m_strFrom), m_nTP(other.m_nTP)
{
    m_arrTo.Copy(other.m_arrTo);
    m_arrCc.Copy(other.m_arrCc);
    m_arrBcc.Copy(other.m_arrBcc);
}

CMailMessage::~CMailMessage() = default;

// The text forms go through the virtual Save and Load, so these only keep the override visible.
void CMailMessage::GetText(CString& strText, bool bWithAttachments) const
{
    CMessage::GetText(strText, bWithAttachments);
}

void CMailMessage::SetText(LPCWSTR pszText, bool bWithAttachments)
{
    CMessage::SetText(pszText, bWithAttachments);
}

void CMailMessage::Save(CPropertyList& list, bool bWithAttachments) const
{
    CMessage::Save(list, bWithAttachments);
    list.SetProperty(L"emFrom", m_strFrom);
    list.SetProperty(L"emTP", m_nTP);
    WriteAddresses(list, L"emTo", m_arrTo);
    WriteAddresses(list, L"emCc", m_arrCc);
    WriteAddresses(list, L"emBcc", m_arrBcc);
}

void CMailMessage::Load(const CPropertyList& list, bool bWithAttachments)
{
    CMessage::Load(list, bWithAttachments);
    m_strFrom = list.GetPropertyString(L"emFrom", L"");
    list.GetProperty(L"emTP", m_nTP);
    ReadAddresses(list, L"emTo", m_arrTo);
    ReadAddresses(list, L"emCc", m_arrCc);
    ReadAddresses(list, L"emBcc", m_arrBcc);
}

void CMailMessage::RemoveLast(CStringArray& addresses, LPCWSTR pszAddress)
{
    for (INT_PTR i = addresses.GetSize() - 1; i >= 0; --i)
    {
        if (addresses[i] == pszAddress)
        {
            addresses.RemoveAt(i);
            return;
        }
    }
}
