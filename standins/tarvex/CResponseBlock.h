#pragma once
#include "standins/tarvex/CElement.h"
#include "standins/tarvex/CResponseBlockPane.h"
#include <vector>

// A closed question shown as a grid (element type 18): a header row with the question's caption over
// two columns, then one row per response, its caption in column 0 and its box in column 1.
class CResponseBlock : public CElement
{
public:
    int GetPaneCount() const { return static_cast<int>(m_panes.size()); }
    const CResponseBlockPane& GetPane(int i) const { return m_panes.at(static_cast<size_t>(i)); }
    CResponseBlockPane* GetAdrPane(int i);
    const std::vector<CResponseBlockPane>& GetPanes() const { return m_panes; }

    std::vector<CResponseBlockPane> m_panes;
};
