#pragma once
#include "framework/CString.h"
#include "framework/Platform.h"
#include <string>
#include <vector>
// The saved interview: its text (written and read whole, so that a text of another survey or a
// malformed one leaves the mask as it was), the archive and file it goes through, and the file
// kept under a call id for the agent who takes the call over.
class CArchive;
class CFile;
class CMasqueSaisie;

class CMasqueInterviewFile
{
public:
    explicit CMasqueInterviewFile(CMasqueSaisie& mask);
    CMasqueInterviewFile(const CMasqueInterviewFile&) = delete;
    CMasqueInterviewFile& operator=(const CMasqueInterviewFile&) = delete;

    // The work of CMasqueSaisie's virtual SaveToFile and Serialize.
    bool SaveToFile(CFile& file);
    void Serialize(CArchive& ar);
    bool Save(long nCallId);
    bool DeleteFile(long nCallId, bool bCompleted);
    CString GetSavedPath(long nCallId) const;
    bool RenameAsCompleted(int nFlags, bool bRename);

private:
    std::string WriteText() const; // in UTF-8
    void ReadText(const std::vector<BYTE>& text);

    CMasqueSaisie& m_mask;
};
