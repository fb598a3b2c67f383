#pragma once

// A scriptable stand-in for the codec plug-in. Every function of the table records its
// name and answers a scripted value (0 / null unless set). Tests install it for their
// thread with FakePlugin::install() and may replace single entries of table() with their
// own captureless functions when a call must do more than answer.

#include "core/plugin.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tavimo::test_support {

class FakePlugin {
public:
    FakePlugin();
    ~FakePlugin(); // uninstalls itself

    void install();
    void uninstall();

    // The value every later call of `function` (e.g. "KELVRA_LoadU") answers.
    void setResult(const std::string& function, intptr_t value);
    // The version text KELVRA_GetVersion answers ("3.18.0.0" by default).
    void setVersion(const std::string& version);

    KelvraApi& table() { return m_table; }
    const std::vector<std::string>& calls() const;
    int callCount(const std::string& function) const;
    void clearCalls();

    // The fake installed on this thread, if any (for the table's functions).
    static FakePlugin* current();

    intptr_t resultFor(const char* function);
    const char* version() const { return m_version.c_str(); }

private:
    KelvraApi m_table;
    std::map<std::string, intptr_t> m_results;
    std::vector<std::string> m_calls;
    std::string m_version = "3.18.0.0";
};

} // namespace tavimo::test_support
