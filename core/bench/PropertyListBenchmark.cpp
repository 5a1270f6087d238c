// Writing a property list of 10,000 entries to its main text form and reading it back, against
// copying the same text once, measured in the same run.
#include "core/CPropertyList.h"
#include "core/bench/BestSeconds.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

int main()
{
    constexpr int kEntries = 10000;
    CPropertyList list;
    for (int i = 0; i < kEntries; ++i)
    {
        wchar_t name[32];
        swprintf(name, 32, L"entry%05d", i);
        // Values like those on the wire: mostly plain, some with quotes and line breaks to escape.
        list.SetProperty(name, i % 10 ? CString(L"plain value ") + name : CString(L"say \"hi\"\r\nback\\slash"));
    }
    const CString text = list.GetString();

    const int rounds = 9; // best of several: the machines are shared
    bool bSame = true;
    const double tList = BestSeconds(
        [&] {
            const CString written = list.GetString();
            CPropertyList back(written, false);
            bSame = bSame && back.GetCount() == kEntries;
        },
        rounds);
    size_t nCopied = 0;
    const double tCopy = BestSeconds(
        [&] {
            const std::wstring copy(text.GetString(), static_cast<size_t>(text.GetLength()));
            nCopied += copy.size();
        },
        rounds);
    if (!bSame || nCopied == 0)
    {
        std::printf("property list: the list did not read back\n");
        return 1;
    }
    std::printf("property list of %d entries (%d characters): write and read %.2f ms, copy of the text %.3f ms, "
                "ratio %.0fx the copy\n",
                kEntries, text.GetLength(), tList * 1e3, tCopy * 1e3, tList / tCopy);
    return 0;
}
