#include "sessions/CJexSocketBase.h"
#include "sessions/ILumoAppHost.h"
#include "core/CStaticTools.h"

CSocketCommandMap CJexSocketBase::s_mapJexBase;
CCriticalSection CJexSocketBase::s_csJexBase;

namespace
{
constexpr int kRecordingInTask = 0; // the recording of a task: "Task<folder>\<name>"
constexpr int kRecordingStereo = 1; // a stereo recording: "StereoRecordings\<name>"

// Jex names the file by its parts; a part that could climb out of the work folder or name
// another drive is no name of ours.
bool IsPlainPathPart(const CString& strPart)
{
    return strPart.FindOneOf(L"\\/:") < 0 && strPart.Find(L"..") < 0;
}
} // namespace

CJexSocketBase::CJexSocketBase(ILumoAppHost& app) : CAsyncSocketEx(false, false), m_app(app)
{
    m_bDeleteOnClose = false;
}

CJexSocketBase::~CJexSocketBase() = default;

CSocketCommandMap* CJexSocketBase::GetCommandMap()
{
    return &s_mapJexBase;
}

void CJexSocketBase::InitCommandMap()
{
    InitDerivedCommandMap<CAsyncSocketEx>(this, s_mapJexBase, s_csJexBase, s_csCommandMap, [](CSocketCommandMap& map) {
        using C = CSocketCommand;
        map.Add(L"SNDSRE",
                new C(SocketHandler(&CJexSocketBase::HandleSNDSRE), C::modeFields, true, C::checkOneOf, 0, 3, -1));
    });
}

void CJexSocketBase::HandleSNDSRE(CStringArray& arrFields)
{
    const int nKind = CStaticTools::ToInt(arrFields[0].GetString());
    const CString& strFolder = arrFields[1];
    const CString& strName = arrFields[2];
    if (nKind != kRecordingInTask && nKind != kRecordingStereo) return;
    if (strName.IsEmpty() || !IsPlainPathPart(strName) || !IsPlainPathPart(strFolder))
    {
        TraceReceived(L"SNDSRE names no file of the work folder: " + strFolder + L" " + strName);
        return;
    }
    CString strPath;
    if (nKind == kRecordingInTask)
        strPath.Format(L"%sTask%s\\", m_app.GetWorkFolder().GetString(), strFolder.GetString());
    else
        strPath.Format(L"%sStereoRecordings\\", m_app.GetWorkFolder().GetString());
    strPath += strName;
    // A file that is gone already, or still held by a player, is no reason to lose the lines
    // behind this one.
    if (!::DeleteFileW(strPath.GetString())) TraceReceived(L"SNDSRE could not delete " + strPath);
}
