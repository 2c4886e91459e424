#include "framework/ResourceHandle.h"

#include <atomic>

namespace {
std::atomic<HINSTANCE> g_resourceModule{nullptr};
}

HINSTANCE AfxGetResourceHandle() noexcept
{
    HINSTANCE module = g_resourceModule.load();
    return module ? module : ::GetModuleHandleW(nullptr);
}

void AfxSetResourceHandle(HINSTANCE module) noexcept
{
    g_resourceModule.store(module);
}
