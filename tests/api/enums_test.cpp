// The public enumerations are the library's own: where the GDI+ layer keeps a table of
// the same values, the two must agree; the tag identifiers must carry the names the
// metadata reader reports.

#include <tavimo/enums.h>

#include "core/cGDIPPropertyItem.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/graphics.h"
#include "platform/gdiplus/types.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace t = tavimo;

// Values compared as numbers: the two sides are different enumerations.
constexpr bool agree(int64_t a, int64_t b) {
    return a == b;
}

// GDI+ statuses share their numbers and names with the first QuennetStatus members.
static_assert(agree(t::OK, gp::Ok) && agree(t::GenericError, gp::GenericError) &&
              agree(t::InvalidParameter, gp::InvalidParameter) && agree(t::Aborted, gp::Aborted) &&
              agree(t::FileNotFound, gp::FileNotFound) &&
              agree(t::UnknownImageFormat, gp::UnknownImageFormat) &&
              agree(t::GdiplusNotInitialized, gp::GdiplusNotInitialized) &&
              agree(t::ProfileNotFound, gp::ProfileNotFound));

static_assert(agree(t::PixelFormatUndefined, gp::PixelFormatUndefined) &&
              agree(t::PixelFormat1bppIndexed, gp::PixelFormat1bppIndexed) &&
              agree(t::PixelFormat4bppIndexed, gp::PixelFormat4bppIndexed) &&
              agree(t::PixelFormat8bppIndexed, gp::PixelFormat8bppIndexed) &&
              agree(t::PixelFormat16bppGrayScale, gp::PixelFormat16bppGrayScale) &&
              agree(t::PixelFormat16bppRGB555, gp::PixelFormat16bppRGB555) &&
              agree(t::PixelFormat16bppRGB565, gp::PixelFormat16bppRGB565) &&
              agree(t::PixelFormat16bppARGB1555, gp::PixelFormat16bppARGB1555) &&
              agree(t::PixelFormat24bppRGB, gp::PixelFormat24bppRGB) &&
              agree(t::PixelFormat32bppRGB, gp::PixelFormat32bppRGB) &&
              agree(t::PixelFormat32bppARGB, gp::PixelFormat32bppARGB) &&
              agree(t::PixelFormat32bppPARGB, gp::PixelFormat32bppPARGB) &&
              agree(t::PixelFormat48bppRGB, gp::PixelFormat48bppRGB) &&
              agree(t::PixelFormat64bppARGB, gp::PixelFormat64bppARGB) &&
              agree(t::PixelFormat64bppPARGB, gp::PixelFormat64bppPARGB));

static_assert(agree(t::RotateNoneFlipNone, gp::RotateNoneFlipNone) &&
              agree(t::Rotate90FlipNone, gp::Rotate90FlipNone) &&
              agree(t::Rotate270FlipX, gp::Rotate270FlipX) &&
              agree(t::Rotate90FlipY, gp::Rotate90FlipY) &&
              agree(t::RotateNoneFlipY, gp::RotateNoneFlipY) &&
              agree(t::Rotate180FlipXY, gp::Rotate180FlipXY) &&
              agree(t::Rotate270FlipXY, gp::Rotate270FlipXY));

static_assert(agree(t::TagTypeByte, gp::PropertyTagTypeByte) &&
              agree(t::TagTypeASCII, gp::PropertyTagTypeASCII) &&
              agree(t::TagTypeRational, gp::PropertyTagTypeRational) &&
              agree(t::TagTypeUndefined, gp::PropertyTagTypeUndefined) &&
              agree(t::TagTypeSRational, gp::PropertyTagTypeSRational) &&
              agree(t::TagTypeDouble, gp::PropertyTagTypeDouble));

static_assert(agree(t::InterpolationModeDefault, gp::InterpolationModeDefault) &&
              agree(t::InterpolationModeNearestNeighbor, gp::InterpolationModeNearestNeighbor) &&
              agree(t::InterpolationModeHighQualityBicubic,
                    gp::InterpolationModeHighQualityBicubic));

// Every enumeration is exactly 32 bits, as the automation interface carries it.
static_assert(sizeof(t::QuennetStatus) == 4 && sizeof(t::Tags) == 4 && sizeof(t::PdfRight) == 4 &&
              sizeof(t::PixelFormats) == 4);

TEST(PublicEnums, EveryTagMemberIsNamedAsTheMetadataReaderNamesTheTag) {
    const char* source = std::getenv("TAVIMO_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::ifstream file(std::string(source) + "/include/tavimo/enums.h");
    ASSERT_TRUE(file);
    std::stringstream text;
    text << file.rdbuf();
    const std::string all = text.str();
    const size_t begin = all.find("enum Tags ");
    ASSERT_NE(begin, std::string::npos);
    const std::string body = all.substr(begin, all.find("};", begin) - begin);

    // Members read "    TagName = 0xHHHH,", one a line.
    std::set<uint32_t> ids;
    int members = 0;
    std::istringstream lines(body);
    for (std::string line; std::getline(lines, line);) {
        const size_t tag = line.find("Tag"), eq = line.find(" = 0x");
        if (tag == std::string::npos || eq == std::string::npos || line.back() != ',')
            continue;
        const std::string name = line.substr(tag + 3, eq - tag - 3);
        const std::string hex = line.substr(eq + 5, line.size() - eq - 6);
        const uint32_t id = std::stoul(hex, nullptr, 16);
        EXPECT_EQ(tavimo::PropertyTagName(id), name) << "tag 0x" << hex;
        EXPECT_TRUE(ids.insert(id).second) << "tag 0x" << hex << " twice";
        ++members;
    }
    EXPECT_EQ(members, 237); // the whole name table
    EXPECT_EQ(t::TagTransferFuncition, 0x012D);
    EXPECT_EQ(t::TagPrintIMData, 0xC4A5);
}

} // namespace
