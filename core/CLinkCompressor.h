#pragma once
#include "framework/Platform.h"
#include <memory>

// The zlib layer of a link: one deflate stream for what is sent and one inflate stream for what
// is received, each continuous for the whole connection (zlib wrapper, a sync flush after every
// send, so the peer can inflate each send as soon as it arrives).
class CLinkCompressor
{
public:
    CLinkCompressor();
    ~CLinkCompressor();
    CLinkCompressor(const CLinkCompressor&) = delete;
    CLinkCompressor& operator=(const CLinkCompressor&) = delete;

    // Ends existing streams, starts a deflate stream at the level (-1: zlib's default) and an
    // inflate stream; FALSE when either fails.
    BOOL Init(int nLevel);
    void End();
    bool IsReady() const { return m_bReady; }

    // Deflates all bytes with a sync flush into the compressor's own output buffer, which grows when
    // the output does not fit (incompressible data comes out larger than it went in); pOut points
    // there until the next call, writable so that the cipher can work in place. false on a deflate
    // error.
    bool Deflate(const BYTE* pBytes, int nCount, BYTE*& pOut, int& nOut);

    // Feeds received bytes to the inflate stream; then Inflate fills targets until the input is
    // used up. Inflate returns false for a corrupt stream.
    void SetInflateInput(BYTE* pBytes, int nCount);
    bool Inflate(BYTE* pTarget, int nRoom, int& nOut);
    bool HasInflateInput() const;

    // Stream totals for the statistics: bytes in and out of each stream (0 when not running).
    unsigned long DeflatedIn() const;
    unsigned long DeflatedOut() const;
    unsigned long InflatedIn() const;
    unsigned long InflatedOut() const;

private:
    struct CStreams;
    std::unique_ptr<CStreams> m_pStreams;
    // Never zero-filled: deflate writes every byte that is read back. Grows only when too small.
    std::unique_ptr<BYTE[]> m_pOut;
    size_t m_nOutCapacity = 0;
    bool m_bReady = false;
};
