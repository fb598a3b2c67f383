// Filters an image file: grey levels, then automatic levels; writes the result as PNG.
// Built with CMake (find_package(Tavimo), target Tavimo::tavimo; see CMakeLists.txt).
//   ./filter_image photo.jpg photo-grey.png
#include <tavimo/tavimo.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: filter_image IN OUT.png\n");
        return 2;
    }
    tavimo::ImageSession session;

    tavimo::ImageId image = 0;
    tavimo::QuennetStatus status = tavimo::LoadImageFromFile(image, argv[1]);
    if (status == tavimo::OK)
        status = tavimo::ApplyFilter(tavimo::FilterGrayscale, image);
    if (status == tavimo::OK)
        status = tavimo::ApplyFilter(tavimo::FilterAutoLevels, image);

    // A test leaves its answer in `result`: 1.0 when it holds.
    int32_t width = 0, height = 0;
    tavimo::GetImageWidth(image, width);
    tavimo::GetImageHeight(image, height);
    tavimo::FilterRect all{0, 0, width, height};
    double grey = 0;
    if (status == tavimo::OK)
        status =
            tavimo::ApplyFilter(tavimo::FilterIsGrayscale, image, 0, all, 0, 0, 0, 0, 0, 0, grey);
    if (status == tavimo::OK)
        status = tavimo::SaveAsPng(image, argv[2]);
    tavimo::ReleaseImage(image);

    if (status != tavimo::OK) {
        std::fprintf(stderr, "filter_image: status %d\n", int(status));
        return 1;
    }
    std::printf("%s: %dx%d, %s\n", argv[2], width, height, grey == 1.0 ? "grey" : "colour");
    return grey == 1.0 ? 0 : 1;
}
