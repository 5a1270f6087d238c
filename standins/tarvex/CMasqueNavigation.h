#pragma once
// Moving an interview along its route: leaving a position runs its skips (and, when asked, its
// actions), the next position is the first one not skipped; forward by screen or by position for
// key-in, back to an earlier screen, and the route replayed up to a position.
class CEcran;
class CListe;
class CMasqueAjaxImpact;
class CMasqueSaisie;

class CMasqueNavigation
{
public:
    explicit CMasqueNavigation(CMasqueSaisie& mask);
    CMasqueNavigation(const CMasqueNavigation&) = delete;
    CMasqueNavigation& operator=(const CMasqueNavigation&) = delete;

    bool AvancerEcran(CEcran*& pScreen, CListe* pVisited, CMasqueAjaxImpact* pImpact, bool bRunActions);
    bool Reculer(int nPosition);
    bool ReculerUpTo(int nPosition);
    bool Reposition(int nPosition);
    bool AvancerUpTo(int nPosition, CListe* pVisited, CMasqueAjaxImpact* pImpact);
    bool Avancer(CListe* pVisited, CMasqueAjaxImpact* pImpact);
    bool MoveBackForEntry(int nPosition);
    bool IntegrerFiltre(int nPosition, bool bAfter, int nMode, bool bAll, void* pLanguageContext,
                        CMasqueAjaxImpact* pImpact);

private:
    // Leaves a position: its route, and its actions when asked. Returns the next position.
    int PassPosition(int nPosition, bool bRunActions, CMasqueAjaxImpact* pImpact, CListe* pVisited);
    int NextReachable(int nPosition) const; // the first position from there that is not skipped
    void RunActions(int nPosition, CMasqueAjaxImpact* pImpact);

    CMasqueSaisie& m_mask;
};
