#include "core/CLinkCompressor.h"
#include <cstring>
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

bool CLinkCompressor::Deflate(const BYTE* pBytes, int nCount, BYTE*& pOut, int& nOut)
{
    nOut = 0;
    pOut = nullptr;
    if (!m_bReady) return false;
    z_stream& stream = m_pStreams->deflate;
    const size_t nFirst = static_cast<size_t>(nCount) + 32;
    if (m_nOutCapacity < nFirst)
    {
        m_pOut.reset(); // the old block goes before the new one arrives
        m_pOut.reset(new BYTE[nFirst]);
        m_nOutCapacity = nFirst;
    }
    stream.next_in = const_cast<Bytef*>(pBytes);
    stream.avail_in = static_cast<uInt>(nCount);
    for (;;)
    {
        stream.next_out = m_pOut.get() + nOut;
        stream.avail_out = static_cast<uInt>(m_nOutCapacity - static_cast<size_t>(nOut));
        const int nResult = deflate(&stream, Z_SYNC_FLUSH);
        nOut = static_cast<int>(m_nOutCapacity - stream.avail_out);
        if (nResult != Z_OK && nResult != Z_BUF_ERROR) return false;
        // Done when all input is taken and the flush had room to finish; otherwise more room.
        if (stream.avail_in == 0 && stream.avail_out > 0)
        {
            pOut = m_pOut.get();
            return true;
        }
        if (nResult == Z_BUF_ERROR && stream.avail_out > 0) return false; // no progress possible
        const size_t nGrown = m_nOutCapacity + m_nOutCapacity / 2 + 64;
        std::unique_ptr<BYTE[]> pGrown(new BYTE[nGrown]);
        std::memcpy(pGrown.get(), m_pOut.get(), static_cast<size_t>(nOut));
        m_pOut = std::move(pGrown);
        m_nOutCapacity = nGrown;
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
