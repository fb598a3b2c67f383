#pragma once

// Helpers shared by the PDF writer's tests: scratch files, a fixed environment, and a small
// reader of the file layout (objects by number through the cross-reference table).

#include "pdf/cPDF.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>

namespace pdftest {

// One scratch folder per test program, removed when the program ends.
inline std::filesystem::path scratchDir() {
    struct Dir {
        std::filesystem::path path;
        Dir() {
            std::string pattern =
                (std::filesystem::temp_directory_path() / "tavimo-pdf-XXXXXX").string();
            if (mkdtemp(pattern.data()))
                path = pattern;
        }
        ~Dir() {
            std::error_code ignored;
            if (!path.empty() && !std::getenv("TAVIMO_KEEP_SCRATCH"))
                std::filesystem::remove_all(path, ignored);
        }
    };
    static Dir dir;
    return dir.path;
}

inline std::string scratchPath(const std::string& name) {
    return (scratchDir() / name).string();
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The clock reads 2024-03-05 14:07:09 at UTC+01:00; the random source is a fixed generator.
inline tavimo::PdfEnvironment fixedEnvironment(unsigned seed = 12345, int offsetMinutes = 60) {
    tavimo::PdfEnvironment e;
    e.clock = [offsetMinutes] {
        tavimo::PdfLocalTime t;
        t.year = 2024;
        t.month = 3;
        t.day = 5;
        t.hour = 14;
        t.minute = 7;
        t.second = 9;
        t.utcOffsetMinutes = offsetMinutes;
        return t;
    };
    auto generator = std::make_shared<std::mt19937>(seed);
    e.random = [generator] { return std::uint32_t((*generator)()); };
    return e;
}

// A writer with the fixed environment.
inline std::unique_ptr<tavimo::cPDF> fixedWriter(unsigned seed = 12345) {
    auto pdf = std::make_unique<tavimo::cPDF>();
    pdf->SetEnvironment(fixedEnvironment(seed));
    return pdf;
}

// Objects of a finished file, found through its cross-reference table.
struct Layout {
    std::string bytes;
    std::map<int, std::size_t> offsets;
    int size = 0;
    bool ok = false;

    explicit Layout(std::string data) : bytes(std::move(data)) {
        std::size_t sx = bytes.rfind("startxref\r\n");
        if (sx == std::string::npos)
            return;
        std::size_t xref = std::stoul(bytes.substr(sx + 11));
        if (bytes.compare(xref, 6, "xref\r\n") != 0)
            return;
        std::size_t p = xref + 6;
        std::size_t eol = bytes.find("\r\n", p);
        std::istringstream head(bytes.substr(p, eol - p));
        int first = -1;
        head >> first >> size;
        p = eol + 2;
        for (int i = 0; i < size; ++i, p += 20) {
            std::string entry = bytes.substr(p, 20);
            if (entry.size() != 20 || entry.substr(18) != "\r\n")
                return;
            if (entry[17] == 'n')
                offsets[i] = std::stoul(entry.substr(0, 10));
        }
        ok = bytes.compare(p, 7, "trailer") == 0;
    }

    // The text of object n from its "n 0 obj" line to the end of its "endobj".
    std::string object(int n) const {
        auto it = offsets.find(n);
        if (it == offsets.end())
            return {};
        std::size_t end = bytes.find("endobj", it->second);
        return bytes.substr(it->second,
                            end == std::string::npos ? std::string::npos : end + 6 - it->second);
    }

    // Object numbers in the order they appear in the file.
    std::vector<int> fileOrder() const {
        std::map<std::size_t, int> byOffset;
        for (auto [n, off] : offsets)
            byOffset[off] = n;
        std::vector<int> order;
        for (auto [off, n] : byOffset)
            order.push_back(n);
        return order;
    }

    std::string trailer() const { return bytes.substr(bytes.rfind("trailer")); }
};

// The content stream of a page (object `number`), as written (the tests write it uncompressed).
inline std::string streamOf(const Layout& layout, int number) {
    std::string o = layout.object(number);
    std::size_t start = o.find("stream\r\n");
    std::size_t end = o.rfind("\r\nendstream");
    if (start == std::string::npos || end == std::string::npos || end < start + 8)
        return {};
    return o.substr(start + 8, end - start - 8);
}

} // namespace pdftest
