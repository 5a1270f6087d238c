// CUtilities::ZipBuffer of 32 MiB of log-like text (level 8) against zlib's raw deflate of the same
// bytes at the same level and parameters in this process, and against the host's `gzip -8` (same
// level), all measured in this run, best of three. gzip runs as a Linux program through Wine's
// "start /unix" and times itself, so Wine's process start does not count against it.
#include "core/CUtilities.h"
#include "framework/CHandleOwner.h"
#include <zlib.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr size_t kSize = 32u * 1024 * 1024;
constexpr int kRounds = 3; // best of several: the machines are shared
// The same folder seen from both sides of Wine (drive Z: is the host's root)
const char* const kUnixFolder = "/tmp/lumo-zipbench";
const wchar_t* const kWineFolder = L"Z:\\tmp\\lumo-zipbench";

std::vector<BYTE> LogText()
{
    static const char* const kWords[] = {"agent",  "call",     "queue", "ready",    "pause",    "wrap-up", "login",
                                         "logout", "transfer", "hold",  "retrieve", "campaign", "dial"};
    std::mt19937 gen(32);
    std::string text;
    text.reserve(kSize + 200);
    char line[200];
    for (unsigned i = 0; text.size() < kSize; ++i)
    {
        int n =
            snprintf(line, sizeof line, "2026-12-10 %02u:%02u:%02u.%03u [%5u] %s %s id=%u ext=%u state=%s\r\n",
                     (i / 3600000) % 24, (i / 60000) % 60, (i / 1000) % 60, i % 1000, gen() % 40000, kWords[gen() % 13],
                     kWords[gen() % 13], gen() % 1000000, 100 + gen() % 900, kWords[gen() % 13]);
        text.append(line, static_cast<size_t>(n));
    }
    text.resize(kSize);
    return std::vector<BYTE>(text.begin(), text.end());
}

bool WriteFileBytes(const std::wstring& path, const void* p, size_t n)
{
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    bool ok = fwrite(p, 1, n, f) == n;
    return fclose(f) == 0 && ok;
}

// Runs gzip -8 on the host kRounds times; gives its best time and its output size
bool MeasureGzip(const std::vector<BYTE>& data, double& seconds, long long& bytes)
{
    CreateDirectoryW(kWineFolder, nullptr);
    const std::wstring folder = kWineFolder;
    const std::string unixFolder = kUnixFolder;
    if (!WriteFileBytes(folder + L"\\log.txt", data.data(), data.size())) return false;
    std::string script = "cd " + unixFolder + " || exit 1\nbest=\nfor i in";
    for (int i = 0; i < kRounds; ++i)
        script += " " + std::to_string(i);
    script += "; do\n  s=$(date +%s%N); gzip -8 -c log.txt > log.txt.gz; e=$(date +%s%N)\n"
              "  t=$((e - s)); if [ -z \"$best\" ] || [ $t -lt $best ]; then best=$t; fi\ndone\n"
              "echo \"$best $(stat -c %s log.txt.gz)\" > result.tmp && mv result.tmp result.txt\n";
    const std::wstring result = folder + L"\\result.txt";
    DeleteFileW(result.c_str());
    if (!WriteFileBytes(folder + L"\\gzip.sh", script.data(), script.size())) return false;
    std::wstring command =
        L"start.exe /unix /bin/sh " + std::wstring(unixFolder.begin(), unixFolder.end()) + L"/gzip.sh";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    const CKernelHandle process(pi.hProcess), thread(pi.hThread);
    WaitForSingleObject(process, INFINITE);
    // "start /unix" does not wait for the Linux program: its result file says when it is done
    for (int waited = 0; waited < 1200 && GetFileAttributesW(result.c_str()) == INVALID_FILE_ATTRIBUTES; ++waited)
        Sleep(100);
    FILE* f = _wfopen(result.c_str(), L"r");
    if (!f) return false;
    long long ns = 0;
    bool ok = fscanf(f, "%lld %lld", &ns, &bytes) == 2;
    fclose(f);
    for (const wchar_t* name : {L"\\log.txt", L"\\log.txt.gz", L"\\gzip.sh", L"\\result.txt"})
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(kWineFolder);
    seconds = ns / 1e9;
    return ok && ns > 0 && bytes > 0;
}
// zlib's raw deflate with ZipBuffer's parameters (level 8, 15-bit window, memory level 8, default
// strategy) over the whole buffer in one call; gives its best time and its output size, after
// checking that the output inflates to the input.
bool MeasureZlib(const std::vector<BYTE>& data, double& seconds, unsigned long& bytes)
{
    seconds = 1e30;
    for (int i = 0; i < kRounds; ++i)
    {
        z_stream zs{};
        if (deflateInit2(&zs, 8, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
        std::vector<BYTE> out(deflateBound(&zs, data.size()));
        const auto t0 = std::chrono::steady_clock::now();
        zs.next_in = const_cast<Bytef*>(data.data());
        zs.avail_in = static_cast<uInt>(data.size());
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        const int result = deflate(&zs, Z_FINISH);
        const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        bytes = zs.total_out;
        deflateEnd(&zs);
        if (result != Z_STREAM_END) return false;
        seconds = std::min(seconds, d.count());
        if (i > 0) continue;
        z_stream is{};
        std::vector<BYTE> back(data.size());
        if (inflateInit2(&is, -MAX_WBITS) != Z_OK) return false;
        is.next_in = out.data();
        is.avail_in = static_cast<uInt>(bytes);
        is.next_out = back.data();
        is.avail_out = static_cast<uInt>(back.size());
        const int inflated = inflate(&is, Z_FINISH);
        inflateEnd(&is);
        if (inflated != Z_STREAM_END || back != data) return false;
    }
    return true;
}
} // namespace

int main()
{
    const std::vector<BYTE> data = LogText();
    double best = 1e30;
    DWORD zipped = 0;
    BYTE* archive = nullptr;
    for (int i = 0; i < kRounds; ++i)
    {
        BYTE* p = new BYTE[kSize];
        std::copy(data.begin(), data.end(), p);
        DWORD n = static_cast<DWORD>(kSize);
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = CUtilities::ZipBuffer(p, n, true, false);
        const std::chrono::duration<double> d = std::chrono::steady_clock::now() - t0;
        if (!ok)
        {
            printf("ZipBuffer failed\n");
            return 1;
        }
        best = std::min(best, d.count());
        zipped = n;
        delete[] archive;
        archive = p;
    }
    // The archive must give the bytes back, or its figures mean nothing
    DWORD n = zipped;
    if (!CUtilities::UnzipBuffer(archive, n, true, false) || n != kSize ||
        !std::equal(data.begin(), data.end(), archive))
    {
        printf("ZipBuffer's archive does not unzip to the input\n");
        return 1;
    }
    delete[] archive;

    double zlibSeconds = 0;
    unsigned long zlibBytes = 0;
    if (!MeasureZlib(data, zlibSeconds, zlibBytes))
    {
        printf("zlib's deflate of the same bytes failed or did not inflate back\n");
        return 1;
    }
    double gzipSeconds = 0;
    long long gzipBytes = 0;
    const bool bGzip = MeasureGzip(data, gzipSeconds, gzipBytes);
    printf("ZipBuffer (level 8) of %zu MiB of log text: %.3f s, %lu bytes\n", kSize >> 20, best,
           static_cast<unsigned long>(zipped));
    printf("zlib raw deflate, level 8, same parameters: %.3f s, %lu bytes\n", zlibSeconds, zlibBytes);
    printf("  ZipBuffer takes %.2fx zlib's time; its output is %.3fx zlib's size (archive headers included)\n",
           best / zlibSeconds, static_cast<double>(zipped) / zlibBytes);
    if (!bGzip)
    {
        printf("gzip -8 on the host: could not run it through Wine's start /unix\n");
        return 0;
    }
    printf("gzip -8 on the host, same bytes:            %.3f s, %lld bytes\n", gzipSeconds, gzipBytes);
    printf("  ZipBuffer takes %.2fx gzip's time; its output is %.3fx gzip's size\n", best / gzipSeconds,
           static_cast<double>(zipped) / gzipBytes);
    return 0;
}
