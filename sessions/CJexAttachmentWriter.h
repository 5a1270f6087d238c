#pragma once
#include "sessions/CJexWorkFolder.h"
#include "framework/Platform.h"
#include <utility>

class CMessage;

// Puts the attachments of a message received from Jex into files of their own in the work
// folder, and names each file written in its attachment's local path.
class CJexAttachmentWriter
{
public:
    explicit CJexAttachmentWriter(CJexWorkFolder folder) : m_folder(std::move(folder)) {}

    // The attachments' bytes lie one after the other in the payload, in the attachments' order and
    // sizes. Only the announced total is read: an attachment whose size does not fit what remains
    // of it gets no bytes and ends the walk. A file that cannot be written leaves its attachment
    // without a local path; the message still arrives.
    void WriteAttachments(CMessage& message, const BYTE* pPayload, DWORD nTotal) const;

private:
    CJexWorkFolder m_folder;
};
