// Measures the skew of a scanned page with cAutoDeskew (libtavimos.so only) and prints the
// page on a printer, fitted to the paper.
//   ./scan_cleanup scan.png "Office printer"
#include <tavimo/deskew.h>
#include <tavimo/tavimo.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: scan_cleanup SCAN PRINTER\n");
        return 2;
    }
    tavimo::ImageSession session;

    tavimo::ImageId scan = 0;
    if (tavimo::LoadImageFromFile(scan, argv[1]) != tavimo::OK) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    tavimo::cAutoDeskew deskew;
    if (deskew.GetSkewAngle(scan) != tavimo::OK) {
        std::fprintf(stderr, "cannot measure %s\n", argv[1]);
        return 1;
    }
    std::printf("skew %.1f degrees\n", deskew.SkewAngle);

    tavimo::cPrinter printer;
    if (!printer.SelectPrinter(argv[2])) {
        std::fprintf(stderr, "no printer %s\n", argv[2]);
        return 1;
    }
    printer.m_DocumentName = "Scan";
    printer.PrintPage = [](int32_t& page, int32_t& left) {
        std::printf("printing page %d (%d after it)\n", page, left);
    };
    printer.PrintImage(scan, true);
    tavimo::ReleaseImage(scan);
    return printer.GetPrinterStat() == tavimo::PrinterOK ? 0 : 1;
}
