#pragma once
#include "framework/CString.h"
#include "framework/Platform.h"

class CJexSocket;
class ILumoAppHost;
class IMessageBoxSink;

// The update program that Jex streams after the desktop's UPDATE request: "UPDATE <arguments>
// <size>" and then the program's bytes, written to the work folder as they arrive and handed to
// the local update service once all are there. A stream nobody asked for is read to its end, so
// that the lines behind it are understood, and neither written nor run.
class CJexUpdateStream
{
public:
    CJexUpdateStream(CJexSocket& link, ILumoAppHost& app, IMessageBoxSink& boxes)
        : m_link(link), m_app(app), m_boxes(boxes)
    {
    }
    CJexUpdateStream(const CJexUpdateStream&) = delete;
    CJexUpdateStream& operator=(const CJexUpdateStream&) = delete;

    // The link's handler of the word UPDATE (raw text, line length and incomplete flag).
    void HandleUPDATE(const CString& strParameters, int nLineLength, BOOL& bIncomplete);

    static constexpr int kUpdateChunkBytes = 10485760; // the program is written in chunks of at least this

private:
    // The update program's next bytes, at the end of its file; FALSE when the file cannot take them.
    BOOL WriteUpdateChunk(const BYTE* pBytes, int nCount);
    void FinishUpdate(const CString& strArguments);
    void FailUpdate();

    CJexSocket& m_link;
    ILumoAppHost& m_app;
    IMessageBoxSink& m_boxes;
    unsigned long m_nUpdateReceived = 0; // bytes of the update program taken from the stream
    CString m_strUpdateFilePath;
    bool m_bUpdateDropped = false; // the stream runs on to its end without being written or run
};
