// Writes the seed corpora of the metafile fuzz targets: argv[1] receives WMF files,
// argv[2] EMF files, each exercising a different group of records.
#include "tests/support/gdi_metafile_writer.h"

#include <fstream>
#include <string>

namespace {

void save(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return 2;
    using testsupport::EmfWriter;
    using testsupport::WmfWriter;
    {
        WmfWriter w;
        w.setWindowOrg(0, 0);
        w.setWindowExt(1000, 500);
        w.createBrush(0x0000FF);
        w.createPen(0, 3, 0x00FF00);
        w.selectObject(0);
        w.selectObject(1);
        w.rectangle(10, 10, 400, 300);
        w.ellipse(500, 100, 900, 450);
        w.record(0x081A, {100, 900, 0, 500, 450, 900, 100, 500}); // pie
        w.record(0x061C, {40, 40, 480, 300, 300, 20});            // round rectangle
        w.record(0x0324, {3, 10, 10, 100, 10, 50, 90});           // polygon
        w.record(0x0538, {2, 3, 3, 0, 0, 50, 0, 25, 40, 60, 60, 90, 60, 75, 90});
        w.createFont(-120, 700);
        w.selectObject(2);
        w.setTextColor(0);
        w.textOut(20, 400, "Seed text");
        w.record(0x0A32, {300, 20, 4, 6, 0, 250, 300, 350, 0x6261, 0x6463}); // ext text out
        w.record(0x0416, {400, 800, 100, 100});                              // clip
        w.record(0x001E, {});
        w.record(0x0127, {-1});
        save(std::string(argv[1]) + "/shapes.wmf", w.bytes(0, 0, 1000, 500, 1440));
        save(std::string(argv[1]) + "/bare.wmf", w.bytes(0, 0, 0, 0, 0));
    }
    {
        EmfWriter e(2000, 1000, 1000, 500, 250, 125);
        e.createBrush(1, 0x00FF00);
        e.createPen(2, 0, 2, 0xFF0000);
        e.selectObject(1);
        e.selectObject(2);
        e.rectangle(4, 4, 36, 36);
        e.ellipse(40, 4, 70, 30);
        e.polygon16({44, 4, 76, 4, 60, 20});
        e.record(17, {8});        // MM_ANISOTROPIC
        e.record(9, {100, 100});  // window extent
        e.record(11, {200, 150}); // viewport extent
        e.record(59, {});         // begin path
        e.record(27, {10, 10});   // move to
        e.record(54, {50, 60});   // line to
        e.record(54, {10, 60});
        e.record(61, {});                            // close figure
        e.record(60, {});                            // end path
        e.record(63, {0, 0, 0, 0});                  // stroke and fill path
        e.record(47, {0, 0, 50, 50, 50, 25, 25, 0}); // pie
        e.stretchDib(44, 24, 32, 12, 2, 1, {0x00FFFF00, 0x000000FF});
        e.font(3, -12);
        e.selectObject(3);
        e.textOutW(4, 38, u"Seed");
        e.record(30, {0, 0, 30, 30}); // intersect clip
        e.record(33, {});
        e.record(34, {-1});
        save(std::string(argv[2]) + "/shapes.emf", e.bytes());
    }
    return 0;
}
