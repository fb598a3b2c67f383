#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "platform/activex/hresult.h"
#include "platform/win/guid.h"

namespace ax {

using Guid = win::Guid;

// Well-known interface identifiers (documented public values).
inline constexpr Guid IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IPersistStream{
    0x00000109, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IPersistStorage{
    0x0000010A, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr Guid IID_IPersistPropertyBag{
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr Guid IID_IConnectionPointContainer{
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

// Our own identifier for the framework facet of a control (ax::UserControl*), through
// which a host drives the lifecycle. Generated once; never change it.
inline constexpr Guid IID_AxUserControl{
    0x5B0C3E61, 0x2D8A, 0x4F47, {0x9E, 0x1B, 0x7C, 0x44, 0x0A, 0x93, 0x6D, 0x21}};

// The reference-counted object base. QueryInterface hands out a pointer with one more
// reference; Release destroys the object at 0. Live objects and server locks are counted
// for the whole module, which DllCanUnloadNow reports.
class Unknown {
public:
    Unknown();
    Unknown(const Unknown&) = delete;
    Unknown& operator=(const Unknown&) = delete;

    // Answers IID_IUnknown with this object; derived classes add their facets. A null
    // out pointer gives E_POINTER; an unknown iid gives E_NOINTERFACE and sets it to null.
    virtual HResult QueryInterface(const Guid& iid, void** out);
    uint32_t AddRef();
    uint32_t Release();
    uint32_t refCount() const { return m_refs.load(); }

    static long liveObjects();
    static long serverLocks();
    static void lockServer(bool lock);

protected:
    virtual ~Unknown();
    // Called when the last reference goes, before destruction (a hook for shutdown work
    // that needs virtual calls).
    virtual void finalRelease() {}

private:
    std::atomic<uint32_t> m_refs{1};
};

// A smart pointer holding one reference.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes over a reference the caller already holds.
    static ComPtr adopt(T* p) {
        ComPtr c;
        c.m_p = p;
        return c;
    }
    // Adds a reference of its own.
    static ComPtr share(T* p) {
        if (p)
            p->AddRef();
        return adopt(p);
    }
    ComPtr(const ComPtr& o) : m_p(o.m_p) {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    template <class U> ComPtr(const ComPtr<U>& o) : m_p(o.get()) {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }
    ~ComPtr() { reset(); }
    void reset() {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T* detach() { return std::exchange(m_p, nullptr); }
    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.m_p == b.m_p; }

private:
    T* m_p = nullptr;
};

// Creates an object with its first reference owned by the pointer.
template <class T, class... Args> ComPtr<T> makeObject(Args&&... args) {
    return ComPtr<T>::adopt(new T(std::forward<Args>(args)...));
}

// QueryInterface into a typed pointer; null when the object lacks the facet.
template <class T> ComPtr<T> queryInterface(Unknown* object, const Guid& iid) {
    void* out = nullptr;
    if (!object || Failed(object->QueryInterface(iid, &out)))
        return {};
    return ComPtr<T>::adopt(static_cast<T*>(out));
}

} // namespace ax
