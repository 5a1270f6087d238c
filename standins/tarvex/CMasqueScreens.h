#pragma once
#include "framework/CString.h"
#include "framework/CStringArray.h"
#include <memory>
// The screens of an interview: which positions a screen starts at, building a screen with a block
// per question, preparing it (captions that quote answers), the live labels' page script, and the
// chapters the web pages list.
class CEcran;
class CElement;
class CMasqueSaisie;
class CQuestion;

class CMasqueScreens
{
public:
    explicit CMasqueScreens(CMasqueSaisie& mask);
    CMasqueScreens(const CMasqueScreens&) = delete;
    CMasqueScreens& operator=(const CMasqueScreens&) = delete;

    bool PreparerEcran(CEcran* pScreen, bool bWeb, bool bLiveLabels);
    CEcran* CreateScreenForQuestion(int nPosition);
    CString RunLiveLabels(CEcran* pScreen, CStringArray& texts, int nSavedPosition);
    bool EstEcranPourPosition(int nPosition) const;
    CString GetChaptersToJson(int nPosition) const;
    // A new screen of that index for the caller to delete; null for none.
    CEcran* MakeScreen(int nScreen) const;

private:
    std::unique_ptr<CElement> MakeBlock(const CQuestion& question, int nPosition) const;

    CMasqueSaisie& m_mask;
};
