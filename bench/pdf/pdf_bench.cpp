// PDF writer benchmarks: whole documents of text, vector shapes and encrypted text, next to
// libharu writing the same documents in the same run, plus the hot helpers (number text,
// MD5, RC4). At the end the program prints the time ratios cPDF / libharu and checks every
// document written with `qpdf --check`.
//
// FONTCONFIG_FILE may point at tests/platform/fonts/fonts.conf for a fixed font set; the
// text workloads need DejaVu Sans.

#include "pdf/cPDF.h"
#include "pdf/md5.h"
#include "pdf/pdf_format.h"
#include "pdf/rc4.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#ifdef TAVIMO_BENCH_HPDF
#include <hpdf.h>
#endif

namespace {

std::string outputPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / ("tavimo-bench-" + name)).string();
}

constexpr int kTextPages = 500;
constexpr int kLinesPerPage = 60;
constexpr int kVectorPages = 200;
constexpr int kShapesPerPage = 1000;

const char* lineText(int line) {
    static const char* texts[] = {
        "The quick brown fox jumps over the lazy dog (again) - 1234567890",
        "Pack my box with five dozen liquor jugs; sphinx of black quartz, judge my vow.",
        "Invoice total: 1,234.56 EUR \\ due within 30 days of the date of issue.",
    };
    return texts[line % 3];
}

void writeTextDocument(const std::string& path, int encryption) {
    tavimo::cPDF pdf;
    pdf.NewPdf(path, "Text", "Bench", "", "", "", encryption, -1, "user", "owner");
    int font = pdf.LoadFont("DejaVu Sans", false, false);
    for (int page = 0; page < kTextPages; ++page) {
        pdf.BeginPage();
        for (int line = 0; line < kLinesPerPage; ++line) {
            float y = 800 - line * 12.5f;
            pdf.DrawText(40, y, lineText(line), font, 9);
            pdf.DrawText(555, y, std::to_string(page * kLinesPerPage + line), font, 9, 1);
        }
    }
    pdf.ClosePdfFile();
}

void writeVectorDocument(const std::string& path, bool compress = true) {
    tavimo::cPDF pdf;
    pdf.NewPdf(path, "Vector", "Bench", "", "", "");
    pdf.CompressData(compress);
    for (int page = 0; page < kVectorPages; ++page) {
        pdf.BeginPage();
        for (int i = 0; i < kShapesPerPage; ++i) {
            float x = float(20 + (i * 37) % 540), y = float(20 + (i * 53) % 780);
            switch (i % 3) {
            case 0: {
                float ray = 4;
                pdf.Rectangle(x, y, 30.5f, 20.25f, 1, ray);
                break;
            }
            case 1:
                pdf.DrawCircle(x, y, 12.75f, 5);
                break;
            default:
                pdf.Arc(x, y, 15, 0, 270, 0.75f, true, 15, 5, 4);
                break;
            }
        }
    }
    pdf.ClosePdfFile();
}

// An A4 page at 300 dpi in RGB: smooth gradients with some noise, like a scan.
constexpr int kImageWidth = 2480, kImageHeight = 3508, kImagePages = 4;

const std::string& scanSamples() {
    static const std::string samples = [] {
        std::string s(std::size_t(kImageWidth) * kImageHeight * 3, '\0');
        std::uint32_t noise = 12345;
        std::size_t i = 0;
        for (int y = 0; y < kImageHeight; ++y)
            for (int x = 0; x < kImageWidth; ++x) {
                noise = noise * 1103515245u + 12345u;
                int n = int((noise >> 16) & 7);
                s[i++] = char((x * 255 / kImageWidth + n) & 0xFF);
                s[i++] = char((y * 255 / kImageHeight + n) & 0xFF);
                s[i++] = char(((x + y) / 24 + n) & 0xFF);
            }
        return s;
    }();
    return samples;
}

void writeImageDocument(const std::string& path, int level) {
    tavimo::cPDF pdf;
    pdf.NewPdf(path, "Images", "Bench", "", "", "");
    pdf.CompressLevel(level);
    for (int page = 0; page < kImagePages; ++page) {
        tavimo::PdfImageData image;
        image.width = kImageWidth;
        image.height = kImageHeight;
        image.depth = 24;
        image.mode = 1;
        image.samples = scanSamples();
        std::int32_t id = pdf.AddImageData(image);
        pdf.DrawImg(id, 0, 0, 595.2f, 842);
    }
    pdf.ClosePdfFile();
}

#ifdef TAVIMO_BENCH_HPDF
void hpdfError(HPDF_STATUS, HPDF_STATUS, void*) {}

void hpdfTextDocument(const std::string& path, bool encrypt) {
    HPDF_Doc pdf = HPDF_New(hpdfError, nullptr);
    HPDF_SetCompressionMode(pdf, HPDF_COMP_ALL);
    if (encrypt) {
        HPDF_SetPassword(pdf, "owner", "user");
        HPDF_SetEncryptionMode(pdf, HPDF_ENCRYPT_R3, 16);
    }
    HPDF_Font font = HPDF_GetFont(pdf, "Helvetica", "WinAnsiEncoding");
    for (int page = 0; page < kTextPages; ++page) {
        HPDF_Page p = HPDF_AddPage(pdf);
        HPDF_Page_SetWidth(p, 595.2f);
        HPDF_Page_SetHeight(p, 842);
        for (int line = 0; line < kLinesPerPage; ++line) {
            float y = 800 - line * 12.5f;
            HPDF_Page_BeginText(p);
            HPDF_Page_SetFontAndSize(p, font, 9);
            HPDF_Page_TextOut(p, 40, y, lineText(line));
            HPDF_Page_EndText(p);
            std::string number = std::to_string(page * kLinesPerPage + line);
            float width = HPDF_Page_TextWidth(p, number.c_str());
            HPDF_Page_BeginText(p);
            HPDF_Page_SetFontAndSize(p, font, 9);
            HPDF_Page_TextOut(p, 555 - width, y, number.c_str());
            HPDF_Page_EndText(p);
        }
    }
    HPDF_SaveToFile(pdf, path.c_str());
    HPDF_Free(pdf);
}

void hpdfVectorDocument(const std::string& path, bool compress = true) {
    HPDF_Doc pdf = HPDF_New(hpdfError, nullptr);
    HPDF_SetCompressionMode(pdf, compress ? HPDF_COMP_ALL : HPDF_COMP_NONE);
    for (int page = 0; page < kVectorPages; ++page) {
        HPDF_Page p = HPDF_AddPage(pdf);
        for (int i = 0; i < kShapesPerPage; ++i) {
            float x = float(20 + (i * 37) % 540), y = float(20 + (i * 53) % 780);
            switch (i % 3) {
            case 0: {
                // The same rounded rectangle as cPDF draws: lines and four curves.
                float r = 4, w = 30.5f, h = 20.25f, k = 0.55f * r;
                HPDF_Page_MoveTo(p, x + r, y);
                HPDF_Page_LineTo(p, x + w - r, y);
                HPDF_Page_CurveTo(p, x + w - r + k, y, x + w, y + r - k, x + w, y + r);
                HPDF_Page_LineTo(p, x + w, y + h - r);
                HPDF_Page_CurveTo(p, x + w, y + h - r + k, x + w - r + k, y + h, x + w - r, y + h);
                HPDF_Page_LineTo(p, x + r, y + h);
                HPDF_Page_CurveTo(p, x + r - k, y + h, x, y + h - r + k, x, y + h - r);
                HPDF_Page_LineTo(p, x, y + r);
                HPDF_Page_CurveTo(p, x, y + r - k, x + r - k, y, x + r, y);
                HPDF_Page_Stroke(p);
                break;
            }
            case 1:
                HPDF_Page_Circle(p, x, y, 12.75f);
                HPDF_Page_FillStroke(p);
                break;
            default: {
                // The same polygonal pie as cPDF's Arc (5-degree steps, ratio 0.75, turned
                // by 15 degrees), so both write the same amount of path data.
                const double k = 3.141592 / 180;
                double rs = std::sin(-k * 15), rc = std::cos(-k * 15);
                HPDF_Page_MoveTo(p, x, y);
                for (float a = 0; a <= 270; a += 5) {
                    double dx = 15 * std::cos(k * a), dy = 15 * 0.75 * std::sin(k * a);
                    HPDF_Page_LineTo(p, float(x + rc * dx + rs * dy), float(y - dx * rs + rc * dy));
                }
                HPDF_Page_LineTo(p, x, y);
                HPDF_Page_Fill(p);
                break;
            }
            }
        }
    }
    HPDF_SaveToFile(pdf, path.c_str());
    HPDF_Free(pdf);
}
#endif

// Flate images from decoded RGB samples; libharu compresses at zlib's default level (6).
void BM_Images_cPDF(benchmark::State& state) {
    scanSamples();
    for (auto _ : state)
        writeImageDocument(outputPath("images.pdf"), 6);
}
BENCHMARK(BM_Images_cPDF)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ImagesLevel9_cPDF(benchmark::State& state) {
    scanSamples();
    for (auto _ : state)
        writeImageDocument(outputPath("images9.pdf"), 9);
}
BENCHMARK(BM_ImagesLevel9_cPDF)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Text_cPDF(benchmark::State& state) {
    for (auto _ : state)
        writeTextDocument(outputPath("text.pdf"), 0);
}
BENCHMARK(BM_Text_cPDF)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_Vector_cPDF(benchmark::State& state) {
    for (auto _ : state)
        writeVectorDocument(outputPath("vector.pdf"));
}
BENCHMARK(BM_Vector_cPDF)->Unit(benchmark::kMillisecond)->Iterations(3);

// The writers' own work without zlib: content building, number text, output.
void BM_VectorUncompressed_cPDF(benchmark::State& state) {
    for (auto _ : state)
        writeVectorDocument(outputPath("vector-raw.pdf"), false);
}
BENCHMARK(BM_VectorUncompressed_cPDF)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_EncryptedText_cPDF(benchmark::State& state) {
    for (auto _ : state)
        writeTextDocument(outputPath("text-r3.pdf"), tavimo::PdfEncryption128BitRC4);
}
BENCHMARK(BM_EncryptedText_cPDF)->Unit(benchmark::kMillisecond)->Iterations(10);

#ifdef TAVIMO_BENCH_HPDF
void BM_Images_libharu(benchmark::State& state) {
    const std::string& samples = scanSamples();
    for (auto _ : state) {
        HPDF_Doc pdf = HPDF_New(hpdfError, nullptr);
        HPDF_SetCompressionMode(pdf, HPDF_COMP_ALL);
        for (int page = 0; page < kImagePages; ++page) {
            HPDF_Page p = HPDF_AddPage(pdf);
            HPDF_Image image =
                HPDF_LoadRawImageFromMem(pdf, reinterpret_cast<const HPDF_BYTE*>(samples.data()),
                                         kImageWidth, kImageHeight, HPDF_CS_DEVICE_RGB, 8);
            HPDF_Page_DrawImage(p, image, 0, 0, 595.2f, 842);
        }
        HPDF_SaveToFile(pdf, outputPath("images-hpdf.pdf").c_str());
        HPDF_Free(pdf);
    }
}
BENCHMARK(BM_Images_libharu)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_Text_libharu(benchmark::State& state) {
    for (auto _ : state)
        hpdfTextDocument(outputPath("text-hpdf.pdf"), false);
}
BENCHMARK(BM_Text_libharu)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_Vector_libharu(benchmark::State& state) {
    for (auto _ : state)
        hpdfVectorDocument(outputPath("vector-hpdf.pdf"));
}
BENCHMARK(BM_Vector_libharu)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_VectorUncompressed_libharu(benchmark::State& state) {
    for (auto _ : state)
        hpdfVectorDocument(outputPath("vector-raw-hpdf.pdf"), false);
}
BENCHMARK(BM_VectorUncompressed_libharu)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_EncryptedText_libharu(benchmark::State& state) {
    for (auto _ : state)
        hpdfTextDocument(outputPath("text-r3-hpdf.pdf"), true);
}
BENCHMARK(BM_EncryptedText_libharu)->Unit(benchmark::kMillisecond)->Iterations(10);
#endif

void BM_FormatNumber(benchmark::State& state) {
    double v = 0.001;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tavimo::pdf::FormatNumber(v, 3));
        v += 1.2345;
    }
}
BENCHMARK(BM_FormatNumber);

void BM_FormatNumber_snprintf(benchmark::State& state) {
    double v = 0.001;
    char buffer[64];
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::snprintf(buffer, sizeof buffer, "%.3f", v));
        benchmark::DoNotOptimize(std::string(buffer));
        v += 1.2345;
    }
}
BENCHMARK(BM_FormatNumber_snprintf);

void BM_Md5(benchmark::State& state) {
    std::string data(1 << 20, 'x');
    for (auto _ : state)
        benchmark::DoNotOptimize(tavimo::Md5::of(data));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
}
BENCHMARK(BM_Md5);

void BM_Rc4(benchmark::State& state) {
    std::string data(1 << 20, 'x');
    for (auto _ : state)
        benchmark::DoNotOptimize(tavimo::Rc4::crypt("0123456789abcdef", data));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
}
BENCHMARK(BM_Rc4);

void BM_Memcpy(benchmark::State& state) {
    std::string data(1 << 20, 'x');
    std::string copy(data.size(), '\0');
    for (auto _ : state) {
        std::memcpy(copy.data(), data.data(), data.size());
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(data.size()));
}
BENCHMARK(BM_Memcpy);

// Keeps the real time per run so the ratios can be printed after the usual report.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> times;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs)
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

void printRatio(const RatioReporter& r, const std::string& workload) {
    auto find = [&r](const std::string& prefix) {
        for (auto it = r.times.begin(); it != r.times.end(); ++it)
            if (it->first.rfind(prefix + "/", 0) == 0)
                return it;
        return r.times.end();
    };
    auto ours = find("BM_" + workload + "_cPDF");
    auto peer = find("BM_" + workload + "_libharu");
    if (ours == r.times.end() || peer == r.times.end() || peer->second <= 0)
        return;
    std::printf("ratio %-19s cPDF / libharu = %.2f\n", workload.c_str(),
                ours->second / peer->second);
}

void checkWithQpdf(const std::string& name) {
    std::string path = outputPath(name);
    if (!std::filesystem::exists(path))
        return;
    std::string pw = name.find("r3") != std::string::npos ? " --password=user" : "";
    int status = std::system(("qpdf" + pw + " --check '" + path + "' >/dev/null 2>&1").c_str());
    std::printf("qpdf --check %-20s %s\n", name.c_str(), status == 0 ? "ok" : "FAILED");
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The first font lookup reads the font catalog; keep that out of the timed runs.
    writeTextDocument(outputPath("warm-up.pdf"), 0);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* workload : {"Text", "Vector", "VectorUncompressed", "EncryptedText", "Images"})
        printRatio(reporter, workload);
    for (const char* name : {"text.pdf", "vector.pdf", "text-r3.pdf", "text-hpdf.pdf",
                             "vector-hpdf.pdf", "text-r3-hpdf.pdf", "vector-raw.pdf",
                             "vector-raw-hpdf.pdf", "images.pdf", "images9.pdf", "images-hpdf.pdf"})
        checkWithQpdf(name);
    benchmark::Shutdown();
    return 0;
}
