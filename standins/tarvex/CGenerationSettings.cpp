#include "standins/tarvex/CGenerationSettings.h"
#include "standins/tarvex/CTarvexScript.h"

bool CGenerationSettings::IsUseWebScreens() const
{
    return CTarvexScript::Decide(L"CGenerationSettings::IsUseWebScreens", m_bUseWebScreens);
}
