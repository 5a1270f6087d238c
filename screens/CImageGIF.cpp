#include "screens/CImageGIF.h"
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace
{
constexpr size_t kHeaderSize = 13;
constexpr size_t kDescriptorSize = 9;
constexpr int kHashSize = 5003;
constexpr int kHashShift = 4;
constexpr int kPacketSize = 254;
constexpr int kInterlaceStart[4] = {0, 4, 2, 1};
constexpr int kInterlaceStep[4] = {8, 8, 4, 2};

// Skips the data sub-blocks that follow an extension; false at the end of the file.
bool SkipSubBlocks(FILE* pFile)
{
    for (;;) // each round moves forward in the file, so the loop ends with it
    {
        const int nSize = std::fgetc(pFile);
        if (nSize == EOF) return false;
        if (nSize == 0) return true;
        if (_fseeki64(pFile, nSize, SEEK_CUR) != 0) return false;
    }
}

// The LZW encoder with its hashed string table and the packet writer: one per Write.
class CGifEncoder
{
public:
    CGifEncoder(FILE* pFile, int nMinCodeSize) : m_pFile(pFile), m_nInitialBits(nMinCodeSize + 1)
    {
        m_nBits = m_nInitialBits;
        m_nMaxCode = (1 << m_nBits) - 1;
        m_nClear = 1 << (m_nInitialBits - 1);
        m_nEnd = m_nClear + 1;
        m_nFree = m_nClear + 2;
        std::fill(std::begin(m_hash), std::end(m_hash), -1);
    }

    void Start(int nFirst)
    {
        m_nPrefix = nFirst;
        Output(m_nClear);
    }

    void Add(int c)
    {
        const long nKey = (static_cast<long>(c) << 12) + m_nPrefix;
        int i = (c << kHashShift) ^ m_nPrefix;
        if (m_hash[i] == nKey)
        {
            m_nPrefix = m_codes[i];
            return;
        }
        if (m_hash[i] >= 0)
        {
            const int nStep = i == 0 ? 1 : kHashSize - i;
            // The table is never full (4096 codes in 5003 slots), so an empty slot ends the probe.
            do
            {
                i -= nStep;
                if (i < 0) i += kHashSize;
                if (m_hash[i] == nKey)
                {
                    m_nPrefix = m_codes[i];
                    return;
                }
            } while (m_hash[i] > 0);
        }
        Output(m_nPrefix);
        m_nPrefix = c;
        if (m_nFree < CImageGIF::kMaxCodes)
        {
            m_codes[i] = static_cast<WORD>(m_nFree++);
            m_hash[i] = nKey;
        }
        else
        {
            std::fill(std::begin(m_hash), std::end(m_hash), -1);
            m_nFree = m_nClear + 2;
            m_bClearing = true;
            Output(m_nClear);
        }
    }

    // True when every byte reached the stream.
    bool Finish()
    {
        Output(m_nPrefix);
        Output(m_nEnd);
        while (m_nHeld > 0)
        {
            PutByte(static_cast<BYTE>(m_nAccumulator));
            m_nAccumulator >>= 8;
            m_nHeld -= 8;
        }
        FlushPacket();
        return std::fflush(m_pFile) == 0 && !std::ferror(m_pFile);
    }

private:
    void Output(int nCode)
    {
        m_nAccumulator |= static_cast<unsigned long>(nCode) << m_nHeld;
        m_nHeld += m_nBits;
        while (m_nHeld >= 8)
        {
            PutByte(static_cast<BYTE>(m_nAccumulator));
            m_nAccumulator >>= 8;
            m_nHeld -= 8;
        }
        if (m_nFree > m_nMaxCode || m_bClearing)
        {
            if (m_bClearing)
            {
                m_nBits = m_nInitialBits;
                m_nMaxCode = (1 << m_nBits) - 1;
                m_bClearing = false;
            }
            else
            {
                ++m_nBits;
                m_nMaxCode = m_nBits == 12 ? CImageGIF::kMaxCodes : (1 << m_nBits) - 1;
            }
        }
    }
    void PutByte(BYTE n)
    {
        m_packet[m_nPacket++] = n;
        if (m_nPacket >= kPacketSize) FlushPacket();
    }
    void FlushPacket()
    {
        if (m_nPacket == 0) return;
        std::fputc(m_nPacket, m_pFile);
        std::fwrite(m_packet, 1, m_nPacket, m_pFile);
        m_nPacket = 0;
    }

    FILE* m_pFile;
    const int m_nInitialBits;
    int m_nBits;
    int m_nMaxCode;
    int m_nClear;
    int m_nEnd;
    int m_nFree;
    bool m_bClearing = false;
    int m_nPrefix = 0;
    unsigned long m_nAccumulator = 0;
    int m_nHeld = 0;
    long m_hash[kHashSize];
    WORD m_codes[kHashSize] = {};
    BYTE m_packet[256];
    int m_nPacket = 0;
};
} // namespace

BOOL CImageGIF::Read(FILE* pFile)
{
    if (!pFile) return FALSE;
    BYTE header[kHeaderSize];
    if (std::fread(header, 1, kHeaderSize, pFile) != kHeaderSize || std::memcmp(header, "GIF8", 4) != 0) return FALSE;
    BYTE table[256 * 3] = {};
    int nTableSize = 2 << (header[10] & 7);
    bool bHasTable = false;
    if (header[10] & 0x80)
    {
        std::fread(table, 3, nTableSize, pFile); // a short table keeps its zero entries
        bHasTable = true;
    }
    int nTransparent = -1;
    WORD nDelay = 0;
    for (;;) // every round consumes bytes of the file, so the loop ends with it
    {
        const int nBlock = std::fgetc(pFile);
        if (nBlock == 0x21)
        {
            const int nLabel = std::fgetc(pFile);
            if (nLabel == EOF) break;
            if (nLabel == 0xF9)
            {
                BYTE control[5];
                if (std::fread(control, 1, 5, pFile) != 5 || control[0] != 4) break;
                if (control[1] & 1) nTransparent = control[4];
                nDelay = GetWord(control + 2);
            }
            if (!SkipSubBlocks(pFile)) break;
            continue;
        }
        if (nBlock != 0x2C) break; // the trailer, an unknown block or the end of the file

        BYTE descriptor[kDescriptorSize];
        if (std::fread(descriptor, 1, kDescriptorSize, pFile) != kDescriptorSize) break;
        const BYTE nFlags = descriptor[8];
        if (nFlags & 0x80)
        {
            nTableSize = 2 << (nFlags & 7);
            std::memset(table, 0, sizeof(table));
            std::fread(table, 3, nTableSize, pFile);
            bHasTable = true;
        }
        const int nWidth = GetWord(descriptor + 4);
        const int nHeight = GetWord(descriptor + 6);
        if (!Create(nWidth, nHeight, 8)) return FALSE; // Create names the refusal (size 0, too large)
        m_nTransparentIndex = nTransparent;
        m_nFrameDelay = nDelay;
        if (bHasTable)
        {
            BYTE r[256], g[256], b[256];
            bool bWhite = false;
            for (int i = 0; i < 256; ++i)
            {
                r[i] = table[3 * i];
                g[i] = table[3 * i + 1];
                b[i] = table[3 * i + 2];
                if (i < nTableSize && r[i] == 255 && g[i] == 255 && b[i] == 255) bWhite = true;
            }
            if (nTransparent >= 0)
            {
                // Drawing shows the transparent entry as white where it cannot leave it out.
                for (int i = nTableSize; i < 256; ++i)
                    r[i] = g[i] = b[i] = 255;
                if (nTableSize < 256) bWhite = true;
                if (!bWhite) r[255] = g[255] = b[255] = 255;
            }
            SetPalette(nTransparent >= 0 ? 256 : nTableSize, r, g, b);
        }
        m_pFile = pFile;
        m_nRow = 0;
        m_nStep = kInterlaceStep[0];
        m_nPass = 0;
        m_bInterlaced = (nFlags & 0x40) != 0;
        DecodeImage(nWidth); // damaged data leave the rows not reached as they are
        m_pFile = nullptr;
        return TRUE;
    }
    SetErrorText("No image in GIF file");
    return FALSE;
}

int CImageGIF::NextByte()
{
    if (m_nReadPos >= m_nReadEnd)
    {
        if (m_bFileEnded) return -1;
        m_nReadEnd = static_cast<int>(std::fread(m_readAhead, 1, kReadAhead, m_pFile));
        m_nReadPos = 0;
        m_bFileEnded = m_nReadEnd < kReadAhead;
        if (m_nReadEnd == 0) return -1;
    }
    return m_readAhead[m_nReadPos++];
}

// The next code, least significant bit first across the data sub-blocks; -1 when the data end.
int CImageGIF::NextCode()
{
    int nCode = 0;
    int nHave = 0;
    while (nHave < m_nCodeSize)
    {
        if (m_nBitsLeft == 0)
        {
            if (m_bDataEnded) return -1;
            if (m_nBlockLeft == 0)
            {
                const int nSize = NextByte();
                if (nSize <= 0)
                {
                    m_bDataEnded = true;
                    return -1;
                }
                m_nBlockLeft = nSize;
            }
            const int n = NextByte();
            if (n < 0)
            {
                m_bDataEnded = true;
                return -1;
            }
            --m_nBlockLeft;
            m_nCurrentByte = n;
            m_nBitsLeft = 8;
        }
        const int nTake = std::min(m_nBitsLeft, m_nCodeSize - nHave);
        nCode |= (m_nCurrentByte & ((1 << nTake) - 1)) << nHave;
        m_nCurrentByte >>= nTake;
        m_nBitsLeft -= nTake;
        nHave += nTake;
    }
    return nCode;
}

bool CImageGIF::DecodeImage(int nWidth)
{
    // Read-ahead starts empty: the stream stands at the minimum code size byte.
    m_nReadPos = m_nReadEnd = 0;
    m_bFileEnded = false;
    const int nSize = NextByte();
    if (nSize < 2 || nSize > 9) return false;
    const int nClear = 1 << nSize;
    const int nEnd = nClear + 1;
    const int nFirstFree = nClear + 2;
    int nSlot = nFirstFree;
    m_nCodeSize = nSize + 1;
    int nTop = 1 << m_nCodeSize;
    m_nBlockLeft = m_nBitsLeft = m_nCurrentByte = 0;
    m_bDataEnded = false;
    std::memset(m_suffix, 0, sizeof(m_suffix));
    std::memset(m_prefix, 0, sizeof(m_prefix));
    std::vector<BYTE> line(static_cast<size_t>(nWidth) + 1);
    int nInLine = 0;
    auto emit = [&](int nPixel) {
        line[nInLine++] = static_cast<BYTE>(nPixel);
        if (nInLine < nWidth) return true;
        nInLine = 0;
        return OutputLine(line.data(), nWidth);
    };

    int nOld = 0;
    int nFirst = 0;
    // Every round takes a code; the data are finite, so the loop ends with them.
    for (int c = NextCode(); c >= 0 && c != nEnd; c = NextCode())
    {
        if (c == nClear)
        {
            m_nCodeSize = nSize + 1;
            nSlot = nFirstFree;
            nTop = 1 << m_nCodeSize;
            do
                c = NextCode();
            while (c == nClear);
            if (c < 0 || c == nEnd) break;
            if (c >= nSlot) c = 0;
            nOld = nFirst = c;
            if (!emit(c)) return false;
            continue;
        }
        int nCode = c;
        int nStack = 0;
        if (nCode >= nSlot)
        {
            m_stack[nStack++] = static_cast<BYTE>(nFirst);
            nCode = nOld;
        }
        // A crafted code can name itself through the tables: the stack holds what one code can mean.
        while (nCode >= nFirstFree && nStack < kMaxCodes)
        {
            m_stack[nStack++] = m_suffix[nCode];
            nCode = m_prefix[nCode];
        }
        if (nStack < kMaxCodes) m_stack[nStack++] = static_cast<BYTE>(nCode);
        if (nSlot < nTop)
        {
            m_suffix[nSlot] = static_cast<BYTE>(nCode);
            m_prefix[nSlot] = static_cast<WORD>(nOld);
            ++nSlot;
            nFirst = nCode;
            nOld = c;
        }
        if (nSlot >= nTop && m_nCodeSize < 12)
        {
            nTop <<= 1;
            ++m_nCodeSize;
        }
        while (nStack > 0)
            if (!emit(m_stack[--nStack])) return false;
    }
    if (nInLine > 0) return OutputLine(line.data(), nInLine);
    return true;
}

bool CImageGIF::OutputLine(const BYTE* pLine, int nCount)
{
    const int nHeight = m_header.biHeight;
    if (m_nRow >= nHeight) return false; // past the last row, or past the fourth interlace pass
    std::memcpy(m_pBits + static_cast<size_t>(nHeight - 1 - m_nRow) * m_nEffWidth, pLine,
                std::min(nCount, m_nEffWidth));
    if (!m_bInterlaced)
    {
        ++m_nRow;
        return true;
    }
    m_nRow += m_nStep;
    while (m_nRow >= nHeight && m_nPass < 3)
    {
        ++m_nPass;
        m_nRow = kInterlaceStart[m_nPass];
        m_nStep = kInterlaceStep[m_nPass];
    }
    return true;
}

BOOL CImageGIF::Write(FILE* pFile)
{
    if (m_pDib && m_header.biBitCount > 8)
    {
        SetErrorText("GIF Images must be 8 bit or less");
        return FALSE;
    }
    if (!pFile)
    {
        SetErrorText("Can't open GIF for writing");
        return FALSE;
    }
    if (!m_pDib) return FALSE;
    const int nWidth = m_header.biWidth;
    const int nHeight = m_header.biHeight;
    const int nBits = m_header.biBitCount;
    const int nColors = static_cast<int>(m_header.biClrUsed);
    int nTableBits = 0; // 2^(n + 1) entries
    while ((2 << nTableBits) < nColors && nTableBits < 7)
        ++nTableBits;

    BYTE head[13] = {'G', 'I', 'F', '8', '7', 'a'};
    PutWord(head + 6, static_cast<WORD>(nWidth));
    PutWord(head + 8, static_cast<WORD>(nHeight));
    head[10] = static_cast<BYTE>(0x80 | ((nBits - 1) & 7) << 4 | nTableBits);
    std::fwrite(head, 1, sizeof(head), pFile);
    const RGBQUAD* pPalette = GetPalette();
    for (int i = 0; i < nColors; ++i)
    {
        const BYTE entry[3] = {pPalette[i].rgbRed, pPalette[i].rgbGreen, pPalette[i].rgbBlue};
        std::fwrite(entry, 1, 3, pFile);
    }
    BYTE control[8] = {0x21, 0xF9, 0x04, static_cast<BYTE>(m_nTransparentIndex >= 0 ? 1 : 0)};
    PutWord(control + 4, static_cast<WORD>(m_nFrameDelay));
    control[6] = m_nTransparentIndex >= 0 ? static_cast<BYTE>(m_nTransparentIndex) : 255;
    std::fwrite(control, 1, sizeof(control), pFile);
    BYTE descriptor[10] = {0x2C};
    PutWord(descriptor + 5, static_cast<WORD>(nWidth));
    PutWord(descriptor + 7, static_cast<WORD>(nHeight));
    std::fwrite(descriptor, 1, sizeof(descriptor), pFile);
    const int nMinCodeSize = std::max(nBits, 2);
    std::fputc(nMinCodeSize, pFile);

    // Tables of several kilobytes: on the heap, not the stack of a GUI thread.
    auto pEncoder = std::make_unique<CGifEncoder>(pFile, nMinCodeSize);
    bool bFirst = true;
    for (int row = 0; row < nHeight; ++row)
    {
        for (int x = 0; x < nWidth; ++x)
        {
            const int c = GetPixelIndex(x, nHeight - 1 - row);
            if (bFirst)
                pEncoder->Start(c);
            else
                pEncoder->Add(c);
            bFirst = false;
        }
    }
    bool bOk = pEncoder->Finish();
    std::fputc(0x00, pFile);
    std::fputc(0x3B, pFile);
    bOk = bOk && std::fflush(pFile) == 0 && !std::ferror(pFile);
    if (!bOk) SetErrorText("Write Error in GIF file");
    return bOk;
}
