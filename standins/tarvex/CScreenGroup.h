#pragma once
#include "standins/tarvex/CGenerationSettings.h"

// A group of screens sharing their generation settings; this engine has one group, index 0.
class CScreenGroup
{
public:
    CGenerationSettings m_generationSettings;
    CGenerationSettings& GetGenerationSettings() { return m_generationSettings; }
};
