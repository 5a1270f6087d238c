#pragma once
#include "framework/CString.h"

// Where the files that Jex's commands make or remove lie: all of them in the application's work
// folder, and no name Jex sends can lead out of it (no other folder, drive or alternate stream).
// Made from the folder as the application gives it at that moment, ending in a backslash.
class CJexWorkFolder
{
public:
    explicit CJexWorkFolder(const CString& strFolder) : m_strFolder(strFolder) {}

    // A new file for a received message's attachment: a fresh name, with the extension of the
    // attachment's own name only when that is a plain one.
    CString AttachmentPath(const CString& strAttachmentName) const;
    // Where the update program that Jex streams is written.
    CString UpdateProgramPath() const;

    // The kinds of recording Jex confirms with SNDSRE.
    enum RecordingKind
    {
        recordingInTask = 0, // "Task<folder>\<name>"
        recordingStereo = 1, // "StereoRecordings\<name>"
    };
    // The file of a confirmed recording; empty when the kind is neither, or when the folder or the
    // name could lead out of the work folder.
    CString RecordingPath(int nKind, const CString& strFolder, const CString& strName) const;
    static bool IsRecordingKind(int nKind) { return nKind == recordingInTask || nKind == recordingStereo; }

private:
    CString m_strFolder;
};
