#pragma once
#include "core/CMessage.h"
#include "framework/CStringArray.h"

// An e-mail sent for a call: a message with addresses. Its text form adds the "em" keys.
class CMailMessage : public CMessage
{
public:
    CMailMessage() = default;
    CMailMessage(const CMailMessage& other, bool bCopyData = false);
    ~CMailMessage() override;

    void GetText(CString& strText, bool bWithAttachments) const override;
    void SetText(LPCWSTR pszText, bool bWithAttachments) override;
    void Save(CPropertyList& list, bool bWithAttachments) const override;
    void Load(const CPropertyList& list, bool bWithAttachments) override;

    void AddTo(LPCWSTR pszAddress) { m_arrTo.Add(pszAddress); }
    void AddTo(const CStringArray& addresses) { m_arrTo.Append(addresses); }
    void AddCc(LPCWSTR pszAddress) { m_arrCc.Add(pszAddress); }
    void AddCc(const CStringArray& addresses) { m_arrCc.Append(addresses); }
    void AddBcc(LPCWSTR pszAddress) { m_arrBcc.Add(pszAddress); }
    void AddBcc(const CStringArray& addresses) { m_arrBcc.Append(addresses); }
    // Each removes the last entry equal (with case) to the address.
    void RemoveTo(LPCWSTR pszAddress) { RemoveLast(m_arrTo, pszAddress); }
    void RemoveCc(LPCWSTR pszAddress) { RemoveLast(m_arrCc, pszAddress); }
    void RemoveBcc(LPCWSTR pszAddress) { RemoveLast(m_arrBcc, pszAddress); }

    CStringArray m_arrTo;
    CStringArray m_arrCc;
    CStringArray m_arrBcc;
    CString m_strFrom;
    long m_nTP = 0;

private:
    static void RemoveLast(CStringArray& addresses, LPCWSTR pszAddress);
};
