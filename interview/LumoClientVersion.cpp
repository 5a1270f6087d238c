#include "interview/LumoClientVersion.h"
#include "interview/BrennResource.h"

namespace
{
CString CutBeforeLastDot(const CString& text)
{
    const int nDot = text.ReverseFind(L'.');
    return nDot < 0 ? text : text.Left(nDot);
}
} // namespace

CString LumoClientVersionWarning(const CString& strOwnFileVersion, const CString& strControlVersion)
{
    CString own(strOwnFileVersion);
    own.Replace(L", ", L".");
    own = CutBeforeLastDot(own);
    if (own.CompareNoCase(CutBeforeLastDot(strControlVersion)) == 0) return {};
    CString text;
    text.Format(IDS_WRONG_LUMOCLIENT_VERSION, strControlVersion.GetString(), (own + L".0").GetString());
    return text;
}
