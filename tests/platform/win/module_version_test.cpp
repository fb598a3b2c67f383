#include "platform/win/module_version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <zlib.h>

namespace {

using namespace win;

TEST(ModuleVersion, PadsToFourFields) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"6.1.7601.0", "6.1.7601.0"},
        {"1.2.13", "1.2.13.0"},
        {"2", "2.0.0.0"},
        {"3.1-rc2", "3.1.0.0"},
        {"1.2.3.4.5", "1.2.3.4"},
        {"99999.1", "65535.1.0.0"},
        {"1..2", "1.0.0.0"},
        {"", ""},
        {"v1.2", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(padVersion(c.in), c.out) << c.in;
}

TEST(ModuleVersion, RegistryLookupIgnoresCaseAndFolder) {
    setModuleVersion("gdiplus.dll", "6.1.7601.0");
    EXPECT_EQ(GetFileVersion("gdiplus.dll"), "6.1.7601.0");
    EXPECT_EQ(GetFileVersion("GDIPLUS.DLL"), "6.1.7601.0");
    EXPECT_EQ(GetFileVersion("C:\\Windows\\System32\\GdiPlus.dll"), "6.1.7601.0");
    EXPECT_EQ(GetFileVersion("/opt/lib/gdiplus.dll"), "6.1.7601.0");
    setModuleVersion("gdiplus.dll", "");
    EXPECT_EQ(GetFileVersion("gdiplus.dll"), "Unknown");
    EXPECT_EQ(GetFileVersion("/usr/lib/x86_64-linux-gnu/libc.so.6"), "Unknown");
    EXPECT_EQ(GetFileVersion(""), "Unknown");
}

TEST(ModuleVersion, ProvidersAreAskedEachTimeAndFailuresAreUndefined) {
    std::string plugin; // empty: not loaded
    setModuleVersionProvider("Kelvra.dll", [&] { return plugin; });
    EXPECT_EQ(GetFileVersion("Kelvra.dll"), "Unknown");
    plugin = "3.18.0";
    EXPECT_EQ(GetFileVersion("kelvra.DLL"), "3.18.0.0");
    setModuleVersionProvider("Kelvra.dll",
                             []() -> std::string { throw std::runtime_error("broken"); });
    EXPECT_EQ(GetFileVersion("Kelvra.dll"), "Undefined");
    setModuleVersionProvider("Kelvra.dll", nullptr);
    EXPECT_EQ(GetFileVersion("Kelvra.dll"), "Unknown");
}

TEST(ModuleVersion, ZlibIsBuiltInAndOverridesWinAndRestore) {
    std::string zlib = GetFileVersion("ZLIBWAPI.DLL");
    EXPECT_EQ(zlib, padVersion(zlibVersion()));
    EXPECT_EQ(std::count(zlib.begin(), zlib.end(), '.'), 3);
    {
        ScopedModuleVersionOverride absent("zlibwapi.dll", "Unknown");
        EXPECT_EQ(GetFileVersion("ZLIBWAPI.DLL"), "Unknown");
        {
            ScopedModuleVersionOverride old("ZLIBWAPI.dll", "1.1.4.0");
            EXPECT_EQ(GetFileVersion("ZLIBWAPI.DLL"), "1.1.4.0");
        }
        EXPECT_EQ(GetFileVersion("ZLIBWAPI.DLL"), "Unknown");
    }
    EXPECT_EQ(GetFileVersion("ZLIBWAPI.DLL"), zlib);
    setModuleVersionOverride("gdiplus.dll", "5.1.3102.5581");
    EXPECT_EQ(GetFileVersion("gdiplus.dll"), "5.1.3102.5581");
    clearModuleVersionOverrides();
    EXPECT_EQ(GetFileVersion("gdiplus.dll"), "Unknown");
}

} // namespace
