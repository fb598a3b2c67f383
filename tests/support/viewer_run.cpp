#include "tests/support/viewer_run.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace viewer_test {

namespace {

std::string shellQuote(const std::string& s) {
    std::string out(1, '\'');
    for (char ch : s) {
        if (ch == '\'')
            out.append("'\\''");
        else
            out.push_back(ch);
    }
    out.push_back('\'');
    return out;
}

std::string slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace

std::string tavimoViewPath() {
    std::filesystem::path build;
    if (const char* bin = std::getenv("TAVIMO_BINARY_DIR"); bin && *bin) {
        build = bin;
    } else {
        // Test programs live in <build>/tests/<folder>/.
        std::error_code ec;
        build = std::filesystem::canonical("/proc/self/exe", ec)
                    .parent_path()
                    .parent_path()
                    .parent_path();
    }
    return (build / "hosts" / "tavimo-view" / "tavimo-view").string();
}

RunResult runTavimoView(const std::string& dir, const std::vector<std::string>& args,
                        const std::string& script, const std::vector<std::string>& env) {
    std::string cmd("cd ");
    cmd.append(shellQuote(dir)).append(" && env");
    for (const auto& e : env)
        cmd.append(" ").append(shellQuote(e));
    cmd.append(" ").append(shellQuote(tavimoViewPath()));
    for (const auto& a : args)
        cmd.append(" ").append(shellQuote(a));
    if (!script.empty()) {
        std::ofstream(dir + "/script.txt") << script;
        cmd.append(" --script script.txt");
    }
    cmd.append(" >out.txt 2>err.txt");
    RunResult r;
    int status = std::system(cmd.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(dir + "/out.txt");
    r.err = slurp(dir + "/err.txt");
    return r;
}

bool readPng(const std::string& path, Png& out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> bytes(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    out.width = int(image.width);
    out.height = int(image.height);
    out.argb.resize(size_t(out.width) * out.height);
    for (size_t i = 0; i < out.argb.size(); ++i)
        out.argb[i] = uint32_t(bytes[i * 4]) | uint32_t(bytes[i * 4 + 1]) << 8 |
                      uint32_t(bytes[i * 4 + 2]) << 16 | uint32_t(bytes[i * 4 + 3]) << 24;
    return true;
}

} // namespace viewer_test
