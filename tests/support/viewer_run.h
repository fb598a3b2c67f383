#pragma once

// Runs the built tavimo-view program for the end-to-end tests.

#include <cstdint>
#include <string>
#include <vector>

namespace viewer_test {

struct RunResult {
    int code = -1;
    std::string out, err;
};

// The program under $TAVIMO_BINARY_DIR.
std::string tavimoViewPath();

// Runs it with the arguments (each passed as one word) in `dir`, with `env` (NAME=value
// words) added to the environment; the script, when not empty, is written to a file and
// given with --script.
RunResult runTavimoView(const std::string& dir, const std::vector<std::string>& args,
                        const std::string& script = {}, const std::vector<std::string>& env = {});

struct Png {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
};
bool readPng(const std::string& path, Png& png);

} // namespace viewer_test
