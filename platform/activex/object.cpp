#include "platform/activex/object.h"

namespace ax {

namespace {
std::atomic<long> g_liveObjects{0};
std::atomic<long> g_serverLocks{0};
} // namespace

Unknown::Unknown() {
    ++g_liveObjects;
}

Unknown::~Unknown() {
    --g_liveObjects;
}

HResult Unknown::QueryInterface(const Guid& iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown) {
        AddRef();
        *out = this;
        return S_OK;
    }
    return E_NOINTERFACE;
}

uint32_t Unknown::AddRef() {
    return ++m_refs;
}

uint32_t Unknown::Release() {
    uint32_t left = --m_refs;
    if (left == 0) {
        // Keep the object alive while its final work runs, whatever it re-enters.
        m_refs = 1;
        try {
            finalRelease();
        } catch (...) {
        }
        delete this;
    }
    return left;
}

long Unknown::liveObjects() {
    return g_liveObjects.load();
}
long Unknown::serverLocks() {
    return g_serverLocks.load();
}
void Unknown::lockServer(bool lock) {
    if (lock)
        ++g_serverLocks;
    else if (g_serverLocks.load() > 0)
        --g_serverLocks;
}

} // namespace ax
