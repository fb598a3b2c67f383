#include "tests/support/core_fake_plugin.h"

#include <algorithm>
#include <type_traits>

namespace tavimo::test_support {

namespace {

thread_local FakePlugin* t_current = nullptr;

template <class R> R answer(const char* name) {
    FakePlugin* fake = FakePlugin::current();
    intptr_t value = fake ? fake->resultFor(name) : 0;
    if constexpr (std::is_void_v<R>) {
        (void)value;
    } else if constexpr (std::is_pointer_v<R>) {
        return reinterpret_cast<R>(value);
    } else {
        return static_cast<R>(value);
    }
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define TAVIMO_FAKE_FUNCTION(ret, name, params)                                                    \
    ret fake_##name params { return answer<ret>(#name); }
KELVRA_FUNCTION_LIST(TAVIMO_FAKE_FUNCTION)
#undef TAVIMO_FAKE_FUNCTION
#pragma GCC diagnostic pop

const char* fakeVersion() {
    FakePlugin* fake = FakePlugin::current();
    if (fake)
        fake->resultFor("KELVRA_GetVersion");
    return fake ? fake->version() : "";
}

} // namespace

FakePlugin::FakePlugin() {
#define TAVIMO_FAKE_BIND(ret, name, params) m_table.name = &fake_##name;
    KELVRA_FUNCTION_LIST(TAVIMO_FAKE_BIND)
#undef TAVIMO_FAKE_BIND
    m_table.KELVRA_GetVersion = &fakeVersion;
}

FakePlugin::~FakePlugin() { uninstall(); }

void FakePlugin::install() {
    t_current = this;
    test::SetPluginTable(&m_table);
}

void FakePlugin::uninstall() {
    if (t_current == this) {
        t_current = nullptr;
        test::SetPluginTable(nullptr);
    }
}

void FakePlugin::setResult(const std::string& function, intptr_t value) {
    m_results[function] = value;
}

void FakePlugin::setVersion(const std::string& version) { m_version = version; }

const std::vector<std::string>& FakePlugin::calls() const { return m_calls; }

int FakePlugin::callCount(const std::string& function) const {
    return static_cast<int>(std::count(m_calls.begin(), m_calls.end(), function));
}

void FakePlugin::clearCalls() { m_calls.clear(); }

FakePlugin* FakePlugin::current() { return t_current; }

intptr_t FakePlugin::resultFor(const char* function) {
    m_calls.emplace_back(function);
    auto it = m_results.find(function);
    return it == m_results.end() ? 0 : it->second;
}

} // namespace tavimo::test_support
