// Loading a survey of 1,000 questions against reading the same lines with the property-list reader
// alone; saving and loading an interview of 1,000 answers through a memory file against writing and
// reading the same number of bytes through an archive on a memory file, byte by byte. Each pair in the
// same run, after one untimed round of each, its rounds taken in turn (a burst of load from the other
// users of the machine then falls on both sides alike), best of fifteen. What each side made is
// checked afterwards.
#include "core/CPropertyList.h"
#include "framework/testing/BestSeconds.h"
#include "framework/CArchive.h"
#include "framework/CMemFile.h"
#include "framework/CStringConversion.h"
#include "standins/tarvex/CArchiveVersion.h"
#include "standins/tarvex/CMasqueSaisie.h"
#include "standins/tarvex/CQuestionnaire.h"
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kQuestions = 1000;
constexpr int kRounds = 15;

// Closed, numeric and open questions in turn, two responses to each closed one, a screen per ten.
// The entries the lines hold: what the property-list reader must find in them.
std::string SurveyText(size_t& nEntries)
{
    nEntries = 2; // SURVEY: id, name
    std::string text = "TVX-SURVEY 1\nSURVEY id = \"77\" name = \"bench\"\n";
    char line[256];
    for (int i = 0; i < kQuestions; ++i)
    {
        const char* kinds[] = {"single", "numeric", "open"};
        std::snprintf(line, sizeof(line), "Q id = \"%d\" name = \"Q%d\" kind = \"%s\" text = \"Question %d, [Q%d]\"\n",
                      i + 1, i, kinds[i % 3], i, i > 0 ? i - 1 : 0);
        text += line;
        nEntries += 4;
        if (i % 3 == 0)
            for (int code = 1; code <= 2; ++code)
            {
                std::snprintf(line, sizeof(line), "M question = \"Q%d\" code = \"%d\" text = \"Response %d\"\n", i,
                              code, code);
                text += line;
                nEntries += 3;
            }
        if (i % 10 == 9)
        {
            std::snprintf(line, sizeof(line), "SCREEN id = \"%d\" questions = \"Q%d,Q%d,Q%d\"\n", i, i - 2, i - 1, i);
            text += line;
            nEntries += 2;
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

// Best times of both sides, taken in turn.
template <typename A, typename B> std::pair<double, double> BestOfBoth(A&& runA, B&& runB)
{
    runA(); // warm-up: the first touches of the heap and the caches count for neither side
    runB();
    double tA = 1e30;
    double tB = 1e30;
    for (int i = 0; i < kRounds; ++i)
    {
        tA = std::min(tA, BestSeconds(runA, 1));
        tB = std::min(tB, BestSeconds(runB, 1));
    }
    return {tA, tB};
}

void Load(CQuestionnaire& survey, std::vector<BYTE>& bytes)
{
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    CArchiveVersion ar(&file, CArchive::load);
    survey.Serialize(ar, L"");
}

// Saves the mask into a memory file and loads a new mask from it; the bytes saved on request.
std::unique_ptr<CMasqueSaisie> SaveAndLoad(CMasqueSaisie& mask, CQuestionnaire& survey,
                                           std::vector<BYTE>* pBytes = nullptr)
{
    CMemFile file;
    {
        CArchiveVersion ar(&file, CArchive::store);
        mask.Serialize(ar);
    }
    file.SeekToBegin();
    if (pBytes)
    {
        pBytes->resize(static_cast<size_t>(file.GetLength()));
        file.Read(pBytes->data(), static_cast<UINT>(pBytes->size()));
        file.SeekToBegin();
    }
    auto pLoaded = std::make_unique<CMasqueSaisie>(&survey);
    CArchiveVersion ar(&file, CArchive::load);
    pLoaded->Serialize(ar);
    return pLoaded;
}
} // namespace

int main()
{
    size_t nExpectedEntries = 0;
    const std::string text = SurveyText(nExpectedEntries);
    std::vector<BYTE> bytes(text.begin(), text.end());
    size_t nEntries = 0;
    int nLoaded = 0;
    const auto [tLoad, tAlone] = BestOfBoth(
        [&] {
            CQuestionnaire survey;
            Load(survey, bytes);
            nLoaded = survey.GetNbreQuestion();
        },
        [&] { nEntries = ReadLinesAlone(text); });
    if (nLoaded != kQuestions || nEntries != nExpectedEntries)
    {
        std::printf("survey: the survey did not load whole, or the reader missed entries\n");
        return 1;
    }
    std::printf("survey of %d questions (%zu bytes): load %.2f ms, property-list reader alone %.2f ms; the load takes "
                "%.1fx the reader's time (aim: at most 2x)\n",
                kQuestions, text.size(), tLoad * 1e3, tAlone * 1e3, tLoad / tAlone);

    CQuestionnaire survey;
    Load(survey, bytes);
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
    // Both sides write into a new memory file, go back to its start and read it through a second archive.
    std::vector<BYTE> savedBytes;
    SaveAndLoad(mask, survey, &savedBytes);
    std::vector<BYTE> back(savedBytes.size());
    const auto [tInterview, tArchive] = BestOfBoth([&] { SaveAndLoad(mask, survey); },
                                                   [&] {
                                                       CMemFile file;
                                                       {
                                                           CArchive ar(&file, CArchive::store);
                                                           for (BYTE b : savedBytes)
                                                               ar << b;
                                                       }
                                                       file.SeekToBegin();
                                                       CArchive ar(&file, CArchive::load);
                                                       for (BYTE& b : back)
                                                           ar >> b;
                                                   });
    std::vector<BYTE> savedAgain;
    SaveAndLoad(*SaveAndLoad(mask, survey), survey, &savedAgain);
    if (back != savedBytes || savedAgain != savedBytes || savedBytes.empty())
    {
        std::printf("interview: the loaded interview saves other bytes, or the archive did not give them back\n");
        return 1;
    }
    std::printf(
        "interview of %d answers (%zu bytes): save and load %.2f ms, the same bytes through an archive %.2f ms; "
        "%.1fx (aim: at most 3x)\n",
        kQuestions, savedBytes.size(), tInterview * 1e3, tArchive * 1e3, tInterview / tArchive);
    return 0;
}
