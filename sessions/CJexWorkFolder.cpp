#include "sessions/CJexWorkFolder.h"
#include "core/CUtilities.h"
#include <cwctype>

namespace
{
constexpr wchar_t kUpdateProgramName[] = L"Stovik.exe";

// The extension a file may take from a name Jex sends: only a plain one, so that the name can
// neither leave the work folder nor open an alternate stream.
CString PlainExtension(const CString& strName)
{
    constexpr int kMaxExtension = 16;
    const int nDot = strName.ReverseFind(L'.');
    if (nDot < 0) return CString();
    const CString strExtension = strName.Mid(nDot + 1);
    if (strExtension.IsEmpty() || strExtension.GetLength() > kMaxExtension) return CString();
    for (int i = 0; i < strExtension.GetLength(); ++i)
    {
        const wchar_t c = strExtension[i];
        if (!std::iswalnum(c) && c != L'_' && c != L'-') return CString();
    }
    return L"." + strExtension;
}

// Jex names a recording by its parts; a part that could climb out of the work folder or name
// another drive is no name of ours.
bool IsPlainPathPart(const CString& strPart)
{
    return strPart.FindOneOf(L"\\/:") < 0 && strPart.Find(L"..") < 0;
}
} // namespace

CString CJexWorkFolder::AttachmentPath(const CString& strAttachmentName) const
{
    return m_strFolder + CUtilities::CreateGuidString() + PlainExtension(strAttachmentName);
}

CString CJexWorkFolder::UpdateProgramPath() const
{
    return m_strFolder + kUpdateProgramName;
}

CString CJexWorkFolder::RecordingPath(int nKind, const CString& strFolder, const CString& strName) const
{
    if (!IsRecordingKind(nKind) || strName.IsEmpty() || !IsPlainPathPart(strName) || !IsPlainPathPart(strFolder))
        return CString();
    CString strPath;
    if (nKind == recordingInTask)
        strPath.Format(L"%sTask%s\\", m_strFolder.GetString(), strFolder.GetString());
    else
        strPath.Format(L"%sStereoRecordings\\", m_strFolder.GetString());
    return strPath + strName;
}
