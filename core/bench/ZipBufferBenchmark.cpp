// CUtilities::ZipBuffer of 32 MiB of log-like text (level 8) against the host's `gzip -6` of the
// same bytes, both measured in this run. gzip runs as a Linux program through Wine's "start /unix"
// and times itself, so Wine's process start does not count against it.
#include "core/CUtilities.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace
{
constexpr size_t kSize = 32u * 1024 * 1024;
constexpr int kRounds = 3;  // best of several: the machines are shared
// The same folder seen from both sides of Wine (drive Z: is the host's root)
const char* const kUnixFolder = "/tmp/lumo-zipbench";
const wchar_t* const kWineFolder = L"Z:\\tmp\\lumo-zipbench";

std::vector<BYTE> LogText()
{
    static const char* const kWords[] = { "agent", "call", "queue", "ready", "pause", "wrap-up", "login",
                                          "logout", "transfer", "hold", "retrieve", "campaign", "dial" };
    std::mt19937 gen(32);
    std::string text;
    text.reserve(kSize + 200);
    char line[200];
    for (unsigned i = 0; text.size() < kSize; ++i)
    {
        int n = snprintf(line, sizeof line, "2026-12-10 %02u:%02u:%02u.%03u [%5u] %s %s id=%u ext=%u state=%s\r\n",
                         (i / 3600000) % 24, (i / 60000) % 60, (i / 1000) % 60, i % 1000, gen() % 40000,
                         kWords[gen() % 13], kWords[gen() % 13], gen() % 1000000, 100 + gen() % 900,
                         kWords[gen() % 13]);
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

// Runs gzip -6 on the host kRounds times; gives its best time and its output size
bool MeasureGzip(const std::vector<BYTE>& data, double& seconds, long long& bytes)
{
    CreateDirectoryW(kWineFolder, nullptr);
    const std::wstring folder = kWineFolder;
    const std::string unixFolder = kUnixFolder;
    if (!WriteFileBytes(folder + L"\\log.txt", data.data(), data.size())) return false;
    std::string script = "cd " + unixFolder + " || exit 1\nbest=\nfor i in";
    for (int i = 0; i < kRounds; ++i) script += " " + std::to_string(i);
    script += "; do\n  s=$(date +%s%N); gzip -6 -c log.txt > log.txt.gz; e=$(date +%s%N)\n"
              "  t=$((e - s)); if [ -z \"$best\" ] || [ $t -lt $best ]; then best=$t; fi\ndone\n"
              "echo \"$best $(stat -c %s log.txt.gz)\" > result.tmp && mv result.tmp result.txt\n";
    const std::wstring result = folder + L"\\result.txt";
    DeleteFileW(result.c_str());
    if (!WriteFileBytes(folder + L"\\gzip.sh", script.data(), script.size())) return false;
    std::wstring command = L"start.exe /unix /bin/sh " + std::wstring(unixFolder.begin(), unixFolder.end()) + L"/gzip.sh";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // "start /unix" does not wait for the Linux program: its result file says when it is done
    for (int waited = 0; waited < 1200 && GetFileAttributesW(result.c_str()) == INVALID_FILE_ATTRIBUTES; ++waited)
        Sleep(100);
    FILE* f = _wfopen(result.c_str(), L"r");
    if (!f) return false;
    long long ns = 0;
    bool ok = fscanf(f, "%lld %lld", &ns, &bytes) == 2;
    fclose(f);
    for (const wchar_t* name : { L"\\log.txt", L"\\log.txt.gz", L"\\gzip.sh", L"\\result.txt" })
        DeleteFileW((folder + name).c_str());
    RemoveDirectoryW(kWineFolder);
    seconds = ns / 1e9;
    return ok && ns > 0 && bytes > 0;
}
}  // namespace

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
    if (!CUtilities::UnzipBuffer(archive, n, true, false) || n != kSize || !std::equal(data.begin(), data.end(), archive))
    {
        printf("ZipBuffer's archive does not unzip to the input\n");
        return 1;
    }
    delete[] archive;

    double gzipSeconds = 0;
    long long gzipBytes = 0;
    if (!MeasureGzip(data, gzipSeconds, gzipBytes))
    {
        printf("could not run the host's gzip through Wine's start /unix\n");
        return 1;
    }
    printf("ZipBuffer (level 8) of %zu MiB of log text: %.3f s, %lu bytes\n", kSize >> 20, best,
           static_cast<unsigned long>(zipped));
    printf("gzip -6 of the same bytes:              %.3f s, %lld bytes\n", gzipSeconds, gzipBytes);
    printf("speed ratio (gzip time / ZipBuffer time): %.2f\n", gzipSeconds / best);
    printf("size ratio (ZipBuffer size / gzip size):  %.3f\n", static_cast<double>(zipped) / gzipBytes);
    return 0;
}
