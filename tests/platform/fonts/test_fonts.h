#pragma once

// Points fontconfig at the project's test configuration before the first font lookup.

#include <cstdlib>
#include <string>

namespace fonttest {

inline bool useTestFonts() {
    static bool done = [] {
        const char* root = std::getenv("TAVIMO_SOURCE_DIR");
        std::string conf = std::string(root ? root : ".") + "/tests/platform/fonts/fonts.conf";
        setenv("FONTCONFIG_FILE", conf.c_str(), 1);
        return true;
    }();
    return done;
}

} // namespace fonttest
