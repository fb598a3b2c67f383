# Third-party libraries, all from Debian packages (scripts/install-deps.sh installs them).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
find_package(GIF REQUIRED)
find_package(Freetype REQUIRED)
find_package(CURL REQUIRED)
find_package(X11 REQUIRED)
find_package(Cups REQUIRED)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
pkg_check_modules(LCMS2 REQUIRED IMPORTED_TARGET lcms2)
pkg_check_modules(POPPLER_CPP REQUIRED IMPORTED_TARGET poppler-cpp)
find_library(FREEIMAGE_LIBRARY NAMES freeimage REQUIRED)
find_path(FREEIMAGE_INCLUDE_DIR FreeImage.h REQUIRED)
if(TAVIMO_BUILD_TESTS)
    find_package(GTest REQUIRED)
endif()
if(TAVIMO_BUILD_BENCH)
    find_package(benchmark REQUIRED)
endif()
# Vector rendering of the GDI+ layer's metafile player.
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
# Reference scaler the drawing benchmark measures against (benchmarks only).
pkg_check_modules(PIXMAN IMPORTED_TARGET pixman-1)
# libharu, the peer PDF writer the PDF benchmarks measure against (optional: without it the
# benchmarks run alone).
find_library(HPDF_LIBRARY NAMES hpdf)
find_path(HPDF_INCLUDE_DIR hpdf.h)
# OpenCV's image processing (Debian ships no CMake config with the imgproc package): the
# peer of the filter benchmarks; they build without it.
find_path(OPENCV_INCLUDE_DIR opencv2/imgproc.hpp PATH_SUFFIXES opencv4)
find_library(OPENCV_CORE_LIBRARY opencv_core)
find_library(OPENCV_IMGPROC_LIBRARY opencv_imgproc)
