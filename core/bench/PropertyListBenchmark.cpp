// Writing a property list of 10,000 entries to its main text form and reading it back, against a
// plain std::map of the same entries written to the same text and read back by a straightforward
// loop with the same escapes, in the same run, best of nine, the rounds interleaved. Both read-backs
// must hold every name with its value, and both texts must be the same.
#include "core/CPropertyList.h"
#include "framework/testing/BestInterleaved.h"
#include "framework/CStringArray.h"
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace
{
constexpr int kEntries = 10000;
constexpr int kRounds = 9;
using PlainMap = std::map<std::wstring, std::wstring>;
using Clock = std::chrono::steady_clock;

// name = "value" with \n \r \" \\ escaped, each entry followed by a blank.
std::wstring WritePlain(const PlainMap& map)
{
    std::wstring text;
    for (const auto& [name, value] : map)
    {
        text += name;
        text += L" = \"";
        for (const wchar_t ch : value)
            switch (ch)
            {
            case L'\n':
                text += L"\\n";
                break;
            case L'\r':
                text += L"\\r";
                break;
            case L'"':
                text += L"\\\"";
                break;
            case L'\\':
                text += L"\\\\";
                break;
            default:
                text.push_back(ch);
                break;
            }
        text += L"\" ";
    }
    return text;
}

// The same form read back: the name up to " = \"" without its blanks, the value up to the closing
// quote with the four escapes undone. Entries come in order, so each goes in at the end.
PlainMap ReadPlain(const std::wstring& text)
{
    PlainMap map;
    const size_t nSize = text.size();
    size_t i = 0;
    while (i < nSize)
    {
        while (i < nSize && text[i] == L' ')
            ++i;
        const size_t nEquals = text.find(L'=', i);
        if (nEquals == std::wstring::npos) break;
        size_t nNameEnd = nEquals;
        while (nNameEnd > i && text[nNameEnd - 1] == L' ')
            --nNameEnd;
        std::wstring name(text, i, nNameEnd - i);
        i = text.find(L'"', nEquals) + 1;
        std::wstring value;
        for (; i < nSize && text[i] != L'"'; ++i)
        {
            if (text[i] != L'\\' || i + 1 == nSize)
            {
                value.push_back(text[i]);
                continue;
            }
            switch (text[++i])
            {
            case L'n':
                value.push_back(L'\n');
                break;
            case L'r':
                value.push_back(L'\r');
                break;
            case L'"':
            case L'\\':
                value.push_back(text[i]);
                break;
            default:
                break; // an unknown escape drops both characters
            }
        }
        ++i;
        map.emplace_hint(map.end(), std::move(name), std::move(value));
    }
    return map;
}

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}
} // namespace

int main()
{
    CPropertyList list;
    PlainMap plain;
    for (int i = 0; i < kEntries; ++i)
    {
        wchar_t name[32];
        swprintf(name, 32, L"entry%05d", i);
        // Values like those on the wire: mostly plain, some with quotes and line breaks to escape.
        const CString value = i % 10 ? CString(L"plain value ") + name : CString(L"say \"hi\"\r\nback\\slash");
        list.SetProperty(name, value);
        plain[name] = value.GetString();
    }

    std::unique_ptr<CPropertyList> pBack;
    PlainMap plainBack;
    CString listText;
    std::wstring plainText;
    const std::vector<double> best = BestInterleaved({[&] {
                                                          const auto start = Clock::now();
                                                          listText = list.GetString();
                                                          pBack = std::make_unique<CPropertyList>(listText, false);
                                                          return Since(start);
                                                      },
                                                      [&] {
                                                          const auto start = Clock::now();
                                                          plainText = WritePlain(plain);
                                                          plainBack = ReadPlain(plainText);
                                                          return Since(start);
                                                      }},
                                                     kRounds);

    CStringArray names, values, backNames, backValues;
    list.GetNamesAndValues(names, values);
    pBack->GetNamesAndValues(backNames, backValues);
    bool bSame = names.GetSize() == kEntries && backNames.GetSize() == names.GetSize() &&
                 backValues.GetSize() == values.GetSize() && plainBack == plain &&
                 plainText == std::wstring(listText.GetString());
    for (INT_PTR i = 0; bSame && i < names.GetSize(); ++i)
        bSame = names[i] == backNames[i] && values[i] == backValues[i];
    if (!bSame)
    {
        std::printf("property list: a list did not read back whole, or the two texts differ\n");
        return 1;
    }
    std::printf("property list of %d entries (%d characters), written to its text and read back, best of %d:\n",
                kEntries, listText.GetLength(), kRounds);
    std::printf("  plain std::map, same text and escapes   %7.2f ms\n", best[1] * 1e3);
    std::printf("  CPropertyList                           %7.2f ms  ratio %.2fx the plain map's time (aim: at most "
                "2x)\n",
                best[0] * 1e3, best[0] / best[1]);
    return 0;
}
