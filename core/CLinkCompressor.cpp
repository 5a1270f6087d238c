#include "core/CLinkCompressor.h"
#include <zlib.h>

struct CLinkCompressor::CStreams
{
    z_stream deflate{};
    z_stream inflate{};
};

CLinkCompressor::CLinkCompressor() : m_pStreams(new CStreams) {}

CLinkCompressor::~CLinkCompressor()
{
    End();
}

BOOL CLinkCompressor::Init(int nLevel)
{
    End();
    m_pStreams->deflate = z_stream{};
    m_pStreams->inflate = z_stream{};
    if (deflateInit(&m_pStreams->deflate, nLevel) != Z_OK) return FALSE;
    if (inflateInit(&m_pStreams->inflate) != Z_OK)
    {
        deflateEnd(&m_pStreams->deflate);
        return FALSE;
    }
    m_bReady = true;
    return TRUE;
}

void CLinkCompressor::End()
{
    if (!m_bReady) return;
    deflateEnd(&m_pStreams->deflate);
    inflateEnd(&m_pStreams->inflate);
    m_bReady = false;
}

bool CLinkCompressor::Deflate(const BYTE* pBytes, int nCount, std::vector<BYTE>& work, int& nOut)
{
    nOut = 0;
    if (!m_bReady) return false;
    z_stream& stream = m_pStreams->deflate;
    if (work.size() < static_cast<size_t>(nCount) + 32) work.resize(static_cast<size_t>(nCount) + 32);
    stream.next_in = const_cast<Bytef*>(pBytes);
    stream.avail_in = static_cast<uInt>(nCount);
    for (;;)
    {
        stream.next_out = work.data() + nOut;
        stream.avail_out = static_cast<uInt>(work.size() - static_cast<size_t>(nOut));
        const int nResult = deflate(&stream, Z_SYNC_FLUSH);
        nOut = static_cast<int>(work.size() - stream.avail_out);
        if (nResult != Z_OK && nResult != Z_BUF_ERROR) return false;
        // Done when all input is taken and the flush had room to finish; otherwise more room.
        if (stream.avail_in == 0 && stream.avail_out > 0) return true;
        if (nResult == Z_BUF_ERROR && stream.avail_out > 0) return false; // no progress possible
        work.resize(work.size() + work.size() / 2 + 64);
    }
}

void CLinkCompressor::SetInflateInput(BYTE* pBytes, int nCount)
{
    m_pStreams->inflate.next_in = pBytes;
    m_pStreams->inflate.avail_in = static_cast<uInt>(nCount);
}

bool CLinkCompressor::HasInflateInput() const
{
    return m_pStreams->inflate.avail_in > 0;
}

bool CLinkCompressor::Inflate(BYTE* pTarget, int nRoom, int& nOut)
{
    nOut = 0;
    if (!m_bReady) return false;
    z_stream& stream = m_pStreams->inflate;
    stream.next_out = pTarget;
    stream.avail_out = static_cast<uInt>(nRoom);
    const int nResult = inflate(&stream, Z_SYNC_FLUSH);
    nOut = nRoom - static_cast<int>(stream.avail_out);
    // Z_BUF_ERROR only says that no progress was possible (input used up, or no room): flow.
    // The peer never ends its stream, so its end counts as corrupt like any other error.
    return nResult == Z_OK || nResult == Z_BUF_ERROR;
}

unsigned long CLinkCompressor::DeflatedIn() const
{
    return m_bReady ? m_pStreams->deflate.total_in : 0;
}

unsigned long CLinkCompressor::DeflatedOut() const
{
    return m_bReady ? m_pStreams->deflate.total_out : 0;
}

unsigned long CLinkCompressor::InflatedIn() const
{
    return m_bReady ? m_pStreams->inflate.total_in : 0;
}

unsigned long CLinkCompressor::InflatedOut() const
{
    return m_bReady ? m_pStreams->inflate.total_out : 0;
}
