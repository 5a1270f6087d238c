#pragma once
#include "sessions/CLumoObject.h"
#include "core/CPasswordCipher.h"
#include "framework/CString.h"

// The logged-on agent, and one entry of an agent list from Jex.
class CAgent : public CLumoObject
{
public:
    CAgent();
    CAgent(const CAgent& other);
    CAgent& operator=(const CAgent& other);
    ~CAgent() override;

    // The user name when there is one, else "first last", else whichever of the two is set.
    CString GetDisplayName() const;

    // Empties arr (DeleteObArray) and appends one CAgent for n = 1, 2, 3 ... from "ID%d", "FN%d",
    // "LN%d" and "UN%d" of the property-list text, up to the first n without a non-zero id.
    // The caller owns the records.
    static void ParseAgentList(CObArray& arr, LPCWSTR pszText);

    // Keeps the password in its cipher letter form. FALSE, and the old one kept, when the cipher
    // fails: a password that cannot be sent as Jex expects it is no use for the next log-on.
    // Tests hand in a cipher of their own.
    using PasswordEncryptor = BOOL (*)(LPCWSTR pszText, CString& strLetters);
    BOOL SetPassword(LPCWSTR pszPassword, PasswordEncryptor pfnEncrypt = EncryptPassword);

    long m_nId = -1; // 0 or less: not known to Jex
    CString m_strLastName;
    CString m_strFirstName;
    CString m_strUserName;
    // The accepted password as the cipher's letter-pair text, kept for a re-log-on when Jex asks
    // for encrypted passwords.
    CString m_strPassword;
    bool m_bSoftphoneLog = false; // set by Jex: whether the softphone writes its log
};
