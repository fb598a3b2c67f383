#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Does nothing (and
# needs no network) when all of them are present already.
set -euo pipefail

packages=(
    # tool chain
    build-essential g++ cmake ninja-build pkg-config
    # test and benchmark frameworks
    libgtest-dev libgmock-dev libbenchmark-dev
    # codecs behind the GDI+ layer and the codec plug-in
    libpng-dev libjpeg62-turbo-dev libtiff-dev libgif-dev zlib1g-dev libfreeimage-dev liblcms2-dev
    # metafile vectors (cairo) and the drawing benchmark's reference scaler (pixman)
    libcairo2-dev libpixman-1-dev
    # PDF page rasteriser plug-in, internet, fonts, printing, windows
    libpoppler-cpp-dev libcurl4-openssl-dev libfontconfig-dev libfreetype-dev libcups2-dev libx11-dev
    # fonts and colour profile used by tests and resources
    fonts-dejavu-core fonts-liberation icc-profiles-free
    # a private CUPS scheduler with its PDF filters, for the printing tests on real queues
    cups-daemon cups-filters
    # independent readers, writers and checkers used by tests
    imagemagick qpdf poppler-utils xvfb xauth
    # OpenCV image processing: the peer the filter benchmarks are measured against
    libopencv-imgproc-dev
    # the viewer benchmark's reference thumbnailer (vipsthumbnail)
    libvips-tools
    # PDF/A-1b validator (Apache PDFBox Preflight) used by the pdf-validate tests
    libpdfbox2-java libactivation-java libjaxb-api-java openjdk-17-jre-headless
    # codec fuzz targets (scripts/fuzz-short.sh): clang with libFuzzer and sanitizer runtimes
    clang libclang-rt-dev
    # peer PDF writer (libharu) of the PDF benchmarks
    libhpdf-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: must run as root to install packages" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
