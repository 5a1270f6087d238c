#pragma once

// A rectangle in twips (15 per pixel) as the engine lays out screens.
class CRectDouble
{
public:
    void Translate(double dx, double dy)
    {
        m_dLeft += dx;
        m_dTop += dy;
    }
    double m_dLeft = 0;
    double m_dTop = 0;
    double m_dWidth = 0;
    double m_dHeight = 0;
};
