#include "platform/win/plugin_library.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::string>;

TEST(PluginLibrary, FoldersBesideTheModuleComeFirstThenTheEnvironmentThenTheLoader) {
    struct Case {
        const char* name;
        std::string moduleDir;
        const char* pluginPath;
        Paths expected; // "*" stands for the installed program's folder, checked below
    };
    const Case cases[] = {
        {"installed library, no environment",
         "/opt/t/lib",
         nullptr,
         {"/opt/t/lib/tavimo/plugins/libk.so", "/opt/t/lib/plugins/libk.so", "*", "libk.so"}},
        {"program in bin, two folders in the environment",
         "/opt/t/bin",
         "/a:/b/",
         {"/opt/t/bin/tavimo/plugins/libk.so", "/opt/t/bin/plugins/libk.so", "*", "/a/libk.so",
          "/b/libk.so", "libk.so"}},
        {"empty pieces of the environment are skipped", "", "::/c:", {"/c/libk.so", "libk.so"}},
        {"module at the root",
         "/",
         "",
         {"/tavimo/plugins/libk.so", "/plugins/libk.so", "*", "libk.so"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Paths got = win::pluginCandidates("libk.so", c.moduleDir, c.pluginPath);
        ASSERT_EQ(got.size(), c.expected.size());
        for (size_t i = 0; i < got.size(); ++i) {
            if (c.expected[i] != "*") {
                EXPECT_EQ(got[i], c.expected[i]);
                continue;
            }
            // A path from the program's folder to the installed plug-in folder.
            const std::string start = c.moduleDir == "/" ? "/" : c.moduleDir + "/";
            const std::string end = "/tavimo/plugins/libk.so";
            EXPECT_EQ(got[i].rfind(start + "..", 0), 0u) << got[i];
            EXPECT_GT(got[i].size(), end.size());
            EXPECT_EQ(got[i].substr(got[i].size() - end.size()), end) << got[i];
        }
    }
}

TEST(PluginLibrary, TheModuleFolderIsThatOfTheProgramHoldingTheCode) {
    // This test program has the platform layer linked in, so the code lives in the program.
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    std::string program = self;
    EXPECT_EQ(win::thisModuleDirectory(), program.substr(0, program.rfind('/')));
}

TEST(PluginLibrary, ALibraryFoundNowhereIsNull) {
    EXPECT_EQ(win::openPluginLibrary("libtavimo-no-such-plugin.so"), nullptr);
}

} // namespace
