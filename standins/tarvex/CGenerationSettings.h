#pragma once

// How the screens of a group are generated: on the native screens or as web pages.
class CGenerationSettings
{
public:
    bool IsUseWebScreens() const;
    bool m_bUseWebScreens = false;
};
