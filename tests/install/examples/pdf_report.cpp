// Writes a one-page PDF: a title, a frame and an image file, the image also shown as its
// negative. Built with pkg-config:
//   c++ -std=c++17 pdf_report.cpp $(pkg-config --cflags --libs tavimo) -o pdf_report
//   ./pdf_report report.pdf photo.jpg
#include <tavimo/tavimo.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: pdf_report OUT.pdf IMAGE\n");
        return 2;
    }
    tavimo::ImageSession session; // the image core, for this thread

    tavimo::ImageId image = 0;
    if (tavimo::QuennetStatus s = tavimo::LoadImageFromFile(image, argv[2]); s != tavimo::OK) {
        std::fprintf(stderr, "cannot read %s: status %d\n", argv[2], int(s));
        return 1;
    }

    tavimo::cPDF pdf;
    if (!pdf.NewPdf(argv[1], "Report", "Tavimo", "pdf_report", "", "")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    pdf.BeginPage(); // A4 portrait, in points from the bottom left
    const int32_t font = pdf.LoadFont("DejaVu Sans", true, false);
    pdf.DrawText(72, 770, "Before and after", font, 18);
    float corner = 6;
    pdf.Rectangle(60, 440, 475, 310, 1, corner); // 1: stroke

    const int32_t before = pdf.PdfAddImage(image, 2); // 2: an ImageId
    tavimo::ApplyFilter(tavimo::FilterNegative, image);
    const int32_t after = pdf.PdfAddImage(image, 2);
    pdf.DrawImg(before, 72, 460, 220, 220);
    pdf.DrawImg(after, 303, 460, 220, 220);
    pdf.ClosePdfFile();
    tavimo::ReleaseImage(image);

    std::printf("%s: %d page, %g images\n", argv[1], int(pdf.Pages()), double(pdf.ImageCount()));
    return before && after ? 0 : 1;
}
