#include "framework/AfxEnableControlContainer.h"
#include <atomic>

namespace
{
std::atomic<bool> g_bEnabled{false};
} // namespace

void AfxEnableControlContainer(BOOL bEnable)
{
    g_bEnabled.store(bEnable != FALSE);
}

bool AfxIsControlContainerEnabled() noexcept
{
    return g_bEnabled.load();
}
