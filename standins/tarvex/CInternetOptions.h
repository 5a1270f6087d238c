#pragma once
#include "framework/CString.h"
#include "framework/CStringArray.h"

class CEcran;
class CIsapiParameter;
class CListe;
class CListeTriee;
class CMasqueAjaxImpact;
class CMasqueSaisie;
class CQuestionnaire;
class CScreenGroup;

// The web pages of a survey: the page of a screen, and the answers a posted page brings back.
// Every bool member answers what a test scripts for it, else what it did.
class CInternetOptions
{
public:
    void SetJSTestPath(const CString& strPath) { m_strJSTestPath = strPath; }
    void SetResourceTestPath(const CString& strPath) { m_strResourceTestPath = strPath; }
    void SetResourceLivePath(const CString& strPath) { m_strResourceLivePath = strPath; }

    // The page of a screen: the header, then per element its caption and a field named "Q<position>"
    // holding the current answer; the errors (a list of CMasqueEntryError) above their fields.
    bool PrepareScreen(CString& strPage, CEcran* pScreen, CScreenGroup* pGroup, const CListe* pErrors,
                       const CString& strHeader, bool bFull, bool bPreview, CQuestionnaire* pSurvey,
                       CMasqueSaisie* pMask);
    // Stores the posted fields "Q<position>" of the screen's positions into the mask. Refused answers
    // add a CMasqueEntryError to the errors (a filled array the caller frees); the positions of the
    // screen go to the sorted list; the navigation code is the "Navigation" field (0 when absent).
    bool ReadEntryFromWeb(const CIsapiParameter& parameters, CEcran* pScreen, CMasqueSaisie* pMask, int& nNavigation,
                          CStringArray& texts, CListe& errors, CListeTriee& positions, CListe& visited, bool& bAnswered,
                          CMasqueAjaxImpact* pImpact);
    // Puts the posted answers back into the page after refused entries; nothing to do for these pages.
    bool DisplayPreviousEntries(CEcran* pScreen, CMasqueSaisie* pMask, const CIsapiParameter& parameters);
    // The entities of core's HTML encoding (& < > " and accented letters); with bLineBreaks, line ends as <br/>.
    static CString FormatStringForXHTML(const CString& strText, bool bLineBreaks);

    CString m_strJSTestPath;
    CString m_strResourceTestPath;
    CString m_strResourceLivePath;
    bool m_bPathsSet = false;
};
