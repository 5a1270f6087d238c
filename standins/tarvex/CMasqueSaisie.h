#pragma once
#include "framework/CString.h"
#include "framework/COleDateTime.h"
#include "framework/CStringArray.h"
#include "standins/tarvex/CKeyInSession.h"
#include "standins/tarvex/CMasqueAnswers.h"
#include "standins/tarvex/CMasqueEntryError.h"
#include "standins/tarvex/CMasqueInterviewFile.h"
#include "standins/tarvex/CMasqueNavigation.h"
#include "standins/tarvex/CMasqueScreens.h"
#include "standins/tarvex/CQuota.h"
#include "standins/tarvex/CReponse.h"
#include <memory>
#include <vector>

class CArchive;
class CEcran;
class CElement;
class CFile;
class CListe;
class CListeTriee;
class CMasqueAjaxImpact;
class CPropertyList;
class CQuestion;
class CQuestionnaire;

// One interview on a survey: an answer per position (a position is a question index), the current
// position, the route and the hooks its actions call. Subclasses override the hooks; the engine calls
// them as the route passes an action's question. Moving along the route, the screens, checking and
// storing answers and the saved interview are the work of its helpers.
class CMasqueSaisie
{
public:
    explicit CMasqueSaisie(CQuestionnaire* pQuestionnaire);
    CMasqueSaisie(const CMasqueSaisie&) = delete;
    CMasqueSaisie& operator=(const CMasqueSaisie&) = delete;
    virtual ~CMasqueSaisie();

    // Starts the interview: one answer per question, position before the first. The seed is the id
    // when above 0, else the next of a process counter starting at 1000. False without questions.
    bool Creer(long nId, int nFlags, bool bNew);

    // Screens. AvancerEcran leaves the screen the position is on (running its route and, with
    // bRunActions, its actions) and hands out the next screen, or the screen of the position when it
    // is not the screen handed out last; false at the end. The caller deletes the screen.
    bool AvancerEcran(CEcran*& pScreen, CListe* pVisited, CMasqueAjaxImpact* pImpact, bool bRunActions)
    {
        return m_navigation.AvancerEcran(pScreen, pVisited, pImpact, bRunActions);
    }
    bool PreparerEcran(CEcran* pScreen, bool bWeb, bool bLiveLabels)
    {
        return m_screens.PreparerEcran(pScreen, bWeb, bLiveLabels);
    }
    CEcran* CreateScreenForQuestion(int nPosition) { return m_screens.CreateScreenForQuestion(nPosition); }
    // The page script that brings live labels up to date: for each element whose caption quotes
    // answers and now reads differently, the caption is changed and one line
    // "QuestionHandler.setLabel(position, "caption");" is added; the texts get the new captions.
    CString RunLiveLabels(CEcran* pScreen, CStringArray& texts, int nSavedPosition)
    {
        return m_screens.RunLiveLabels(pScreen, texts, nSavedPosition);
    }
    // A screen starts at that position.
    bool EstEcranPourPosition(int nPosition) const { return m_screens.EstEcranPourPosition(nPosition); }
    // Goes back to just before the screen of the last answer before the position, so that
    // AvancerEcran hands out that screen again.
    bool Reculer(int nPosition) { return m_navigation.Reculer(nPosition); }
    bool ReculerUpTo(int nPosition) { return m_navigation.ReculerUpTo(nPosition); }
    bool ReculerUpToExactly(int nPosition) { return ReculerUpTo(nPosition); }
    // Replays the route from the current position up to the position; actions run again only while
    // the live-hooks flag is set.
    bool Reposition(int nPosition) { return m_navigation.Reposition(nPosition); }
    bool AvancerUpTo(int nPosition, CListe* pVisited, CMasqueAjaxImpact* pImpact)
    {
        return m_navigation.AvancerUpTo(nPosition, pVisited, pImpact);
    }
    // Key-in: runs the route of the current position and moves to the next one to enter.
    bool Avancer(CListe* pVisited, CMasqueAjaxImpact* pImpact) { return m_navigation.Avancer(pVisited, pImpact); }
    bool MoveBackForEntry(int nPosition) { return m_navigation.MoveBackForEntry(nPosition); }
    // The route of one position: its skips set or clear the skipped state of what they pass over; mode
    // 2 (the position left validated) also runs the position's actions.
    bool IntegrerFiltre(int nPosition, bool bAfter, int nMode, bool bAll, void* pLanguageContext,
                        CMasqueAjaxImpact* pImpact)
    {
        return m_navigation.IntegrerFiltre(nPosition, bAfter, nMode, bAll, pLanguageContext, pImpact);
    }

    // Storing: true and the answer stored (state answered), or false and a new error the caller deletes.
    bool StockerReponseModalite(int nPosition, bool bMessages, const std::vector<long>& codes,
                                CMasqueEntryError*& pError)
    {
        return m_answers.StockerReponseModalite(nPosition, bMessages, codes, pError);
    }
    bool StockerReponseNumerique(int nPosition, const CString& strText, bool bMessages, CMasqueEntryError*& pError)
    {
        return m_answers.StockerReponseNumerique(nPosition, strText, bMessages, pError);
    }
    bool StockerReponseOuverte(int nPosition, const CString& strText, bool bMessages, CMasqueEntryError*& pError)
    {
        return m_answers.StockerReponseOuverte(nPosition, strText, bMessages, pError);
    }
    bool StockerReponseDate(int nPosition, const CString& strText, bool bMessages, CMasqueEntryError*& pError)
    {
        return m_answers.StockerReponseDate(nPosition, strText, bMessages, pError);
    }
    bool StockerAutreReponse(int nPosition, bool bMessages)
    {
        return m_answers.StockerAutreReponse(nPosition, bMessages);
    }
    // The same checks without storing.
    bool EstReponseModaliteOk(int nPosition, const std::vector<long>& codes, bool bValidate,
                              CMasqueEntryError*& pError) const
    {
        return m_answers.EstReponseModaliteOk(nPosition, codes, bValidate, pError);
    }
    bool EstReponseNumeriqueOk(int nPosition, const CString& strText, bool bValidate, CMasqueEntryError*& pError) const
    {
        return m_answers.EstReponseNumeriqueOk(nPosition, strText, bValidate, pError);
    }
    bool EstReponseOuverteOk(int nPosition, const CString& strText, bool bValidate, CMasqueEntryError*& pError) const
    {
        return m_answers.EstReponseOuverteOk(nPosition, strText, bValidate, pError);
    }
    bool EstReponseDateOk(int nPosition, const CString& strText, bool bValidate, CMasqueEntryError*& pError) const
    {
        return m_answers.EstReponseDateOk(nPosition, strText, bValidate, pError);
    }
    // The survey's checks of the position's question; the first that fails gives the error.
    bool IsValidityFilterOK(int nPosition, int nMode, CMasqueEntryError*& pError) const
    {
        return m_answers.IsValidityFilterOK(nPosition, nMode, pError);
    }
    // State "set by an action".
    bool SetValueFromScript(int nPosition, const CString& strValue)
    {
        return m_answers.SetValueFromScript(nPosition, strValue);
    }
    // Ranks: one text per response of the question (in DonnerCodeModalites order), each empty or a rank
    // from 1; the codes come out in rank order. Ranks must start at 1 and follow each other.
    bool EstReponseRangOk(int nPosition, const CStringArray& texts, std::vector<long>& codes, bool bValidate,
                          CMasqueEntryError*& pError) const
    {
        return m_answers.EstReponseRangOk(nPosition, texts, codes, bValidate, pError);
    }
    // A typed response caption (any case) becomes its code; an empty text no code.
    bool IsResponseByNameOK(int nPosition, const CString& strText, std::vector<long>& codes,
                            CMasqueEntryError*& pError) const
    {
        return m_answers.IsResponseByNameOK(nPosition, strText, codes, pError);
    }
    // The engine's message of that number for the position: 1 an invalid answer, 2 a missing one.
    CString WriteErrorMessage(int nMessage, int nPosition) const
    {
        return m_answers.WriteErrorMessage(nMessage, nPosition);
    }

    // Semi-open answers given in this interview: AddSemiOpen returns the new answer's id (from 1);
    // GetQuestionSemiOpens fills an array of modalities (code = id) the caller frees.
    long AddSemiOpen(const CQuestion* pQuestion, const CString& strText);
    void GetQuestionSemiOpens(const CQuestion* pQuestion, CListe& array) const;
    // No links, loops or data imports in this engine: no response is excluded, a loop's answers are
    // the response's codes, and an import changes nothing.
    void IntegrerLiaison(int nPosition, const long* pIds, bool* pFlags, int nCount) const;
    std::vector<long> DonnerTouteReponseBoucle(int nPosition) const { return GetClosedResponse(nPosition); }
    virtual bool DoODBCImport(int nPosition);
    int EvaluateScreenGroup(int nGroup, void* pContext); // the group of the next screen: always 0
    // Seconds spent on a screen, shared among its positions (the first ones get the remainder).
    void AllocateDuration(const CListeTriee& positions, long nSeconds);

    // "[NAME]" becomes the answer of that question as shown: captions joined by ", ", the number, the
    // text or the date. Unknown names stay as they are.
    CString TraduireLibelle(const CString& strText, int nPosition, int nFlags, int nLoop, CPropertyList* pFields,
                            void* pPageState) const;

    int GetNbreReponse() const { return static_cast<int>(m_reponses.size()); }
    CReponse* GetAdrReponse(int nPosition);
    const CReponse* GetReponse(int nPosition) const;
    CQuestionnaire* GetQuestionnaire() const { return m_pQuestionnaire; }
    int TrouverCodeQuestion(long nQuestionId, int nMode, int nLoop) const; // position, -1 when unknown
    int GetQuestionPosition(long nQuestionId) const { return TrouverCodeQuestion(nQuestionId, 2, -1); }
    std::vector<long> GetClosedResponse(int nPosition) const;
    CString GetReponseQuestionAsString(const CString& strQuestionName) const;

    // Quotas: the mask keeps its own copy of the quota it is given.
    void SetQuota(const CQuota* pQuota);
    CQuota* GetQuota() { return m_pQuota.get(); }
    bool HasQuota() const { return m_pQuota && m_pQuota->HasCells(); }
    void SetQuotaCategory(const BYTE* pBytes, int nLength);
    const std::vector<BYTE>& GetQuotaCategory() const { return m_quotaCategory; }

    void SetAgentName(const CString& strName) { m_strAgentName = strName; }
    void SetCallInfo(const CString& strInfo) { m_strCallInfo = strInfo; }
    void SetDirectory(const CString& strFolder) { m_strDirectory = strFolder; }
    void SetEndTime(const COleDateTime& timeUtc, long nUtcOffset);
    void SetPanelData(const CPropertyList& fields);
    void GetPanelData(CPropertyList& fields) const;
    void ReenableRecordings() {}
    void StartKeyInSession(int nMode);
    CKeyInSession* GetKeyInSession() { return m_pKeyIn.get(); }
    bool RenameAsCompleted(int nFlags, bool bRename) { return m_file.RenameAsCompleted(nFlags, bRename); }
    // The interview kept under a call id, in the mask's folder (the temporary folder without one), for
    // the agent who takes the call over; DeleteFile removes it again.
    bool Save(long nCallId) { return m_file.Save(nCallId); }
    bool DeleteFile(long nCallId, bool bCompleted) { return m_file.DeleteFile(nCallId, bCompleted); }
    CString GetSavedPath(long nCallId) const { return m_file.GetSavedPath(nCallId); }
    // The chapters as a JSON array of {"position", "text", "current"} for the web pages.
    CString GetChaptersToJson(int nPosition) const { return m_screens.GetChaptersToJson(nPosition); }
    void SetWebIdentity(const CString& strText) { m_strWebIdentity = strText; }
    void SetWebResolution(const CString& strText) { m_strWebResolution = strText; }
    void SetWebCapabilities(const CString& strText) { m_strWebCapabilities = strText; }

    // The saved interview: "TVX-INTERVIEW 1" and one line per field and answer. Loading a text of
    // another survey, or a malformed one, throws the framework's archive exception and leaves the
    // mask as it was.
    virtual bool SaveToFile(CFile& file) { return m_file.SaveToFile(file); }
    virtual void Serialize(CArchive& ar) { m_file.Serialize(ar); }

    // Action hooks, in file order of the actions as the route passes their questions.
    virtual void IntegrerFiltreLanguage(int nPosition, int nFiltre, CMasqueAjaxImpact* pImpact);
    virtual void IntegrerFiltreEmail(int nPosition, int nFiltre, CMasqueAjaxImpact* pImpact);
    virtual void IntegrerTriggerPredictive(int nPosition, CMasqueAjaxImpact* pImpact);
    virtual bool IntegrerStartRecording(int nPosition, int nFiltre, CMasqueAjaxImpact* pImpact);
    virtual bool IntegrerStopRecording(int nPosition, const CString& strName, CMasqueAjaxImpact* pImpact);

    // Engine data the callers read or set directly.
    bool m_bLiveHooks = true;
    long m_nCallId = 0;
    long m_nSeed = 0;
    int m_nPosition = -1;
    int m_nLangue = 0;
    std::vector<CString> m_recordings; // names of the recordings in progress
    long m_nTaskId = 0;
    long m_nListId = 0;
    long m_nContactId = 0;
    long m_nAgentId = 0;
    long m_nServerCallId = 0;
    long m_nUtcOffset = 0;
    short m_nCallResult = 0;
    short m_nSubResult = 0;
    bool m_bCompleted = false;
    long m_nCallCount = 0;
    bool m_bResultSet = false;
    bool m_bModified = false;
    bool m_bQuotaChanged = false;
    long m_nInterviewNumber = 0;
    CString m_strInterviewGuid;
    CString m_strIvrNumber;
    CString m_strAgentName;
    CString m_strCallInfo;
    CString m_strDirectory;
    COleDateTime m_endTime;
    CString m_strWebIdentity;
    CString m_strWebResolution;
    CString m_strWebCapabilities;

private:
    const CQuestion* QuestionAt(int nPosition) const;
    CString FormatAnswer(int nPosition) const;

    CQuestionnaire* m_pQuestionnaire;
    std::vector<CReponse> m_reponses;
    int m_nScreenShown = -1; // the screen AvancerEcran handed out last
    std::unique_ptr<CQuota> m_pQuota;
    std::vector<BYTE> m_quotaCategory;
    std::unique_ptr<CKeyInSession> m_pKeyIn;
    std::vector<std::pair<CString, CString>> m_panel;
    struct CGivenSemiOpen
    {
        int m_nQuestion;
        long m_nId;
        CString m_strText;
    };
    std::vector<CGivenSemiOpen> m_semiOpens;

    // The helpers, one a concern; each reaches the interview through the members above.
    CMasqueNavigation m_navigation;
    CMasqueScreens m_screens;
    CMasqueAnswers m_answers;
    CMasqueInterviewFile m_file;

    friend class CMasqueNavigation;
    friend class CMasqueScreens;
    friend class CMasqueAnswers;
    friend class CMasqueInterviewFile;
};
