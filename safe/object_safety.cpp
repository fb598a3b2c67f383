#include "safe/object_safety.h"

#include <cstring>
#include <new>
#include <string>

#include "safe/basSafeCtl.h"

namespace tavimo {

namespace {

constexpr uint32_t kSupportedOptions =
    ax::INTERFACESAFE_FOR_UNTRUSTED_CALLER | ax::INTERFACESAFE_FOR_UNTRUSTED_DATA;

enum class SafetyTopic { Other, Scripting, Initializing };

// The interface is recognised by its registry text, upper-cased so that the answer does
// not depend on how the conversion spells hexadecimal digits.
SafetyTopic topicOf(const ax::Guid& riid) {
    ax::Guid local;
    std::memcpy(&local, &riid, sizeof local);
    char16_t buffer[40] = {};
    ax::StringFromGUID2(local, buffer, 40);
    std::u16string text(buffer);
    for (char16_t& c : text)
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    if (text == u"{00020400-0000-0000-C000-000000000046}")
        return SafetyTopic::Scripting;
    if (text == u"{0000010A-0000-0000-C000-000000000046}" ||
        text == u"{00000109-0000-0000-C000-000000000046}" ||
        text == u"{37D84F60-42CB-11CE-8135-00AA004BB851}")
        return SafetyTopic::Initializing;
    return SafetyTopic::Other;
}

class ObjectSafetyFacet : public ax::IObjectSafety {
public:
    explicit ObjectSafetyFacet(ax::Unknown* owner)
        : m_owner(ax::ComPtr<ax::Unknown>::share(owner)) {}

    ax::HResult QueryInterface(const ax::Guid& iid, void** out) override {
        if (!out)
            return ax::E_POINTER;
        *out = nullptr;
        if (iid == ax::IID_IObjectSafety) {
            AddRef();
            *out = static_cast<ax::IObjectSafety*>(this);
            return ax::S_OK;
        }
        return m_owner->QueryInterface(iid, out);
    }
    ax::HResult GetInterfaceSafetyOptions(const ax::Guid* riid, uint32_t* pdwSupportedOptions,
                                          uint32_t* pdwEnabledOptions) override {
        return IObjectSafety_GetInterfaceSafetyOptions(riid, pdwSupportedOptions,
                                                       pdwEnabledOptions);
    }
    ax::HResult SetInterfaceSafetyOptions(const ax::Guid* riid, uint32_t dwOptionsSetMask,
                                          uint32_t dwEnabledOptions) override {
        return IObjectSafety_SetInterfaceSafetyOptions(riid, dwOptionsSetMask, dwEnabledOptions);
    }

private:
    ax::ComPtr<ax::Unknown> m_owner;
};

} // namespace

ax::HResult IObjectSafety_GetInterfaceSafetyOptions(const ax::Guid* riid,
                                                    uint32_t* pdwSupportedOptions,
                                                    uint32_t* pdwEnabledOptions) {
    try {
        if (!pdwSupportedOptions)
            return ax::E_POINTER;
        *pdwSupportedOptions = kSupportedOptions;
        if (!riid)
            return ax::S_OK;
        SafetyTopic topic = topicOf(*riid);
        if (topic == SafetyTopic::Other)
            return ax::E_NOINTERFACE;
        if (!pdwEnabledOptions)
            return ax::E_POINTER;
        if (topic == SafetyTopic::Scripting)
            *pdwEnabledOptions =
                basSafeCtl::SafeForScripting() ? ax::INTERFACESAFE_FOR_UNTRUSTED_CALLER : 0;
        else
            *pdwEnabledOptions =
                basSafeCtl::SafeForInitializing() ? ax::INTERFACESAFE_FOR_UNTRUSTED_DATA : 0;
        return ax::S_OK;
    } catch (const std::bad_alloc&) {
        return ax::E_OUTOFMEMORY;
    } catch (...) {
        return ax::E_FAIL;
    }
}

ax::HResult IObjectSafety_SetInterfaceSafetyOptions(const ax::Guid* riid, uint32_t dwOptionsSetMask,
                                                    uint32_t dwEnabledOptions) {
    try {
        if (!riid)
            return ax::S_OK;
        uint32_t asked = dwOptionsSetMask & dwEnabledOptions;
        switch (topicOf(*riid)) {
        case SafetyTopic::Scripting:
            return asked == ax::INTERFACESAFE_FOR_UNTRUSTED_CALLER && basSafeCtl::SafeForScripting()
                       ? ax::S_OK
                       : ax::E_FAIL;
        case SafetyTopic::Initializing:
            return asked == ax::INTERFACESAFE_FOR_UNTRUSTED_DATA &&
                           basSafeCtl::SafeForInitializing()
                       ? ax::S_OK
                       : ax::E_FAIL;
        case SafetyTopic::Other:
            break;
        }
        return ax::E_NOINTERFACE;
    } catch (const std::bad_alloc&) {
        return ax::E_OUTOFMEMORY;
    } catch (...) {
        return ax::E_FAIL;
    }
}

ax::IObjectSafety* makeObjectSafetyFacet(ax::Unknown* owner) {
    if (!owner)
        return nullptr;
    try {
        return new ObjectSafetyFacet(owner);
    } catch (...) {
        return nullptr;
    }
}

} // namespace tavimo
