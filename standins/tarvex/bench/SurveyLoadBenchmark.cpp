// Loading a survey of 1,000 questions against reading the same lines with the property-list reader
// alone; saving and loading an interview of 1,000 answers against writing and reading the same number
// of bytes through an archive, byte by byte. Both in the same run, best of nine.
#include "core/CPropertyList.h"
#include "core/bench/BestSeconds.h"
#include "framework/CArchive.h"
#include "framework/CMemFile.h"
#include "framework/CStringConversion.h"
#include "standins/tarvex/CArchiveVersion.h"
#include "standins/tarvex/CMasqueSaisie.h"
#include "standins/tarvex/CQuestionnaire.h"
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kQuestions = 1000;
constexpr int kRounds = 9;

// Closed, numeric and open questions in turn, two responses to each closed one, a screen per ten.
std::string SurveyText()
{
    std::string text = "TVX-SURVEY 1\nSURVEY id = \"77\" name = \"bench\"\n";
    char line[256];
    for (int i = 0; i < kQuestions; ++i)
    {
        const char* kinds[] = {"single", "numeric", "open"};
        std::snprintf(line, sizeof(line), "Q id = \"%d\" name = \"Q%d\" kind = \"%s\" text = \"Question %d, [Q%d]\"\n",
                      i + 1, i, kinds[i % 3], i, i > 0 ? i - 1 : 0);
        text += line;
        if (i % 3 == 0)
            for (int code = 1; code <= 2; ++code)
            {
                std::snprintf(line, sizeof(line), "M question = \"Q%d\" code = \"%d\" text = \"Response %d\"\n", i,
                              code, code);
                text += line;
            }
        if (i % 10 == 9)
        {
            std::snprintf(line, sizeof(line), "SCREEN id = \"%d\" questions = \"Q%d,Q%d,Q%d\"\n", i, i - 2, i - 1, i);
            text += line;
        }
    }
    return text;
}

// What the property-list reader alone does with the same lines: decode, split off the word, parse.
size_t ReadLinesAlone(const std::string& text)
{
    size_t nEntries = 0;
    size_t nStart = 0;
    while (nStart < text.size())
    {
        size_t nEnd = text.find('\n', nStart);
        if (nEnd == std::string::npos) nEnd = text.size();
        const std::wstring line = WidenText(text.data() + nStart, static_cast<int>(nEnd - nStart), CP_UTF8);
        const size_t nBlank = line.find(L' ');
        if (nBlank != std::wstring::npos) nEntries += CPropertyList(line.c_str() + nBlank).GetCount();
        nStart = nEnd + 1;
    }
    return nEntries;
}

void Load(CQuestionnaire& survey, std::vector<BYTE>& bytes)
{
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchiveVersion ar(&file, CArchive::load);
    survey.Serialize(ar, L"");
}

std::vector<BYTE> Save(CMasqueSaisie& mask)
{
    CMemFile file;
    {
        CArchiveVersion ar(&file, CArchive::store);
        mask.Serialize(ar);
    }
    std::vector<BYTE> bytes(static_cast<size_t>(file.GetLength()));
    file.SeekToBegin();
    file.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    return bytes;
}
} // namespace

int main()
{
    const std::string text = SurveyText();
    std::vector<BYTE> bytes(text.begin(), text.end());
    size_t nEntries = 0;
    const double tLoad = BestSeconds(
        [&] {
            CQuestionnaire survey;
            Load(survey, bytes);
        },
        kRounds);
    const double tAlone = BestSeconds([&] { nEntries = ReadLinesAlone(text); }, kRounds);

    CQuestionnaire survey;
    Load(survey, bytes);
    if (survey.GetNbreQuestion() != kQuestions || nEntries == 0)
    {
        std::printf("survey: the survey did not load whole\n");
        return 1;
    }
    std::printf("survey of %d questions (%zu bytes): load %.2f ms, property-list reader alone %.2f ms; the load takes "
                "%.1fx the reader's time (aim: at most 2x)\n",
                kQuestions, text.size(), tLoad * 1e3, tAlone * 1e3, tLoad / tAlone);

    CMasqueSaisie mask(&survey);
    mask.Creer(5, 0, true);
    for (int i = 0; i < kQuestions; ++i)
    {
        CMasqueEntryError* pError = nullptr;
        const bool bOk = i % 3 == 0   ? mask.StockerReponseModalite(i, false, {1 + i % 2}, pError)
                         : i % 3 == 1 ? mask.StockerReponseNumerique(i, L"12.75", false, pError)
                                      : mask.StockerReponseOuverte(i, L"an answer with \"quotes\"", false, pError);
        delete pError;
        if (!bOk) return 1;
    }
    std::vector<BYTE> saved;
    const double tInterview = BestSeconds(
        [&] {
            saved = Save(mask);
            CMasqueSaisie loaded(&survey);
            std::vector<BYTE> copy = saved;
            CMemFile file(copy.data(), static_cast<UINT>(copy.size()));
            CArchiveVersion ar(&file, CArchive::load);
            loaded.Serialize(ar);
        },
        kRounds);
    std::vector<BYTE> back(saved.size());
    const double tArchive = BestSeconds(
        [&] {
            CMemFile file;
            {
                CArchive ar(&file, CArchive::store);
                for (BYTE b : saved)
                    ar << b;
            }
            file.SeekToBegin();
            CArchive ar(&file, CArchive::load);
            for (BYTE& b : back)
                ar >> b;
        },
        kRounds);
    if (back != saved)
    {
        std::printf("interview: the archive did not give the bytes back\n");
        return 1;
    }
    std::printf(
        "interview of %d answers (%zu bytes): save and load %.2f ms, the same bytes through an archive %.2f ms; "
        "%.1fx (aim: at most 3x)\n",
        kQuestions, saved.size(), tInterview * 1e3, tArchive * 1e3, tInterview / tArchive);
    return 0;
}
