#pragma once
#include "framework/CString.h"
#include "screens/CTickParts.h"
#include <span>

class CArchive;

// What CTickTime and CTickSpan share: a status and a signed count of 100-ns ticks, stored alike in
// archives, combined alike by their operators and formatted alike.
class CTickValue
{
public:
    enum TickStatus
    {
        valid = 0,
        invalid = 1,
        null = 2,
    };

    TickStatus GetStatus() const noexcept { return m_status; }
    void SetStatus(TickStatus status) noexcept { m_status = status; }
    LONGLONG GetTicks() const noexcept { return m_ticks; }

    // Status, then the high and the low 32 bits of the ticks, each a 32-bit number. Loading from a
    // storing archive or storing into a loading one raises CArchiveException*.
    friend CArchive& operator<<(CArchive& ar, const CTickValue& value);
    friend CArchive& operator>>(CArchive& ar, CTickValue& value);

protected:
    CTickValue(LONGLONG ticks, TickStatus status) noexcept : m_status(status), m_ticks(ticks) {}
    // A shared part, never handled on its own: a time must not be assigned a span through it.
    CTickValue(const CTickValue&) noexcept = default;
    CTickValue& operator=(const CTickValue&) noexcept = default;
    ~CTickValue() = default;

    struct Sum
    {
        LONGLONG ticks;
        TickStatus status;
    };
    // left + right (or left - right): null when either is null, else invalid when either is invalid or
    // the result leaves the 64-bit range (ticks 0 then), else valid.
    static Sum Combine(const CTickValue& left, const CTickValue& right, bool bSubtract) noexcept;

    // A code that formatting replaces before wcsftime sees the text, with the number it stands for.
    struct FormatCode
    {
        LPCWSTR pszCode;
        LPCWSTR pszNumberFormat;
        int nValue;
    };
    // The buffer form of Format: null (buffer untouched) for a null buffer or format, a size below 1
    // or a null value; "Invalid datetime", cut to the size, for an invalid one. Otherwise the codes are
    // replaced and wcsftime writes the result from the parts, its tm_year counted from nYearBase.
    // A format, a replacement or a result that does not fit gives null and an empty buffer.
    LPWSTR FormatInto(LPWSTR pszBuffer, int nSize, LPCWSTR pszFormat, const CTickParts& parts, int nYearBase,
                      std::span<const FormatCode> codes) const;
    // The CString form: empty for a null value, the text of string resource nInvalidTextId for an
    // invalid one, else FormatInto's result in a buffer of 128 characters (empty when it fails).
    CString FormatText(LPCWSTR pszFormat, UINT nInvalidTextId, const CTickParts& parts, int nYearBase,
                       std::span<const FormatCode> codes) const;

    TickStatus m_status;
    LONGLONG m_ticks;
};

// Replaces every occurrence of pszPattern in the zero-terminated text of pszBuffer, which holds nSize
// characters, terminator included. Returns the number of occurrences, overlapping ones counted as
// found one character apart; 0, with the text unchanged, when there is none or when the text would
// not fit with the replacements counted that way.
int ReplaceInBuffer(LPWSTR pszBuffer, int nSize, LPCWSTR pszPattern, LPCWSTR pszReplacement);
