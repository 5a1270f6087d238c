#pragma once
#include "framework/CArray.h"
#include "framework/CObject.h"
#include "framework/CString.h"

class CPropertyList;

// The common base of the small records Jex sends (agents, locations, outbound groups), so that a
// list of them fits one CObArray and is emptied in one call.
class CLumoObject : public CObject
{
public:
    CLumoObject();
    ~CLumoObject() override;

protected:
    CLumoObject(const CLumoObject&) = default;
    CLumoObject& operator=(const CLumoObject&) = default;

    // Jex numbers the entries of its lists ("ID%d"): the number under the name made of the
    // format and n (0 when absent or not a number), or its text (empty when absent).
    static long GetNumberedLong(const CPropertyList& list, LPCWSTR pszFormat, long n);
    static CString GetNumberedString(const CPropertyList& list, LPCWSTR pszFormat, long n);
};

// Deletes every record of the array in index order (null elements skipped) and empties it. The
// array holds CLumoObject records only: each is deleted through its virtual destructor.
void DeleteObArray(CObArray& arr);
