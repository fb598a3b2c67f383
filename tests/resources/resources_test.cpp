#include "resources/resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <zlib.h>

namespace {

std::string sourceFile(const std::string& name) {
    const char* root = std::getenv("TAVIMO_SOURCE_DIR");
    std::ifstream in(std::string(root ? root : ".") + "/resources/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::uint32_t bigEndian(const std::string& b, std::size_t at) {
    return std::uint32_t(static_cast<unsigned char>(b[at])) << 24 |
           std::uint32_t(static_cast<unsigned char>(b[at + 1])) << 16 |
           std::uint32_t(static_cast<unsigned char>(b[at + 2])) << 8 |
           std::uint32_t(static_cast<unsigned char>(b[at + 3]));
}

TEST(Resources, SrgbProfileInflatesToAVersion2RgbMonitorProfile) {
    auto z = tavimo::resources::Find("IEC61966-2.1");
    ASSERT_FALSE(z.empty());
    EXPECT_EQ(z.size(), sourceFile("IEC61966-2.1.icc.z").size());
    std::string profile(64 * 1024, '\0');
    uLongf length = profile.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(profile.data()), &length, z.data(), z.size()),
              Z_OK);
    profile.resize(length);
    EXPECT_EQ(profile, sourceFile("IEC61966-2.1.icc"));
    EXPECT_EQ(bigEndian(profile, 0), profile.size());
    EXPECT_EQ(profile.substr(36, 4), "acsp");
    EXPECT_EQ(profile[8], 2); // major version below 4, as PDF/A-1 requires
    EXPECT_EQ(profile.substr(12, 4), "mntr");
    EXPECT_EQ(profile.substr(16, 4), "RGB ");
    EXPECT_EQ(profile.substr(20, 4), "XYZ ");
}

TEST(Resources, XmpTemplateIsAWritableUtf8PacketWithItsPlaceholders) {
    auto t = tavimo::resources::Find("PDFA-XMP.4.2.1");
    std::string text(reinterpret_cast<const char*>(t.data()), t.size());
    EXPECT_EQ(text, sourceFile("PDFA-XMP.4.2.1.xml"));
    EXPECT_EQ(
        text.rfind("<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\r\n", 0),
        0u);
    EXPECT_EQ(text.substr(text.size() - 19), "<?xpacket end=\"w\"?>");
    // Lines are separated by CR LF only.
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_EQ(text[i - 1], '\r') << i;
        }
    }
    for (const char* p :
         {"XXX_AUTHOR_XXX", "XXX_TITLE_XXX", "XXX_CREATOR_XXX", "XXX_SUBJECT_XXX",
          "XXX_KEYWORDS_XXX", "XXX_CREATIONDATE_XXX", "XXX_MODIFYDATE_XXX", "XXX_METADATADATE_XXX",
          "XXX_PRODUCER_XXX", "XXX_DOCUMENTUUID_XXX", "XXX_SESSIONUUID_XXX"})
        EXPECT_NE(text.find(p), std::string::npos) << p;
    EXPECT_NE(text.find("<pdfaid:part>1</pdfaid:part>"), std::string::npos);
    EXPECT_NE(text.find("<pdfaid:conformance>B</pdfaid:conformance>"), std::string::npos);
    EXPECT_TRUE(tavimo::resources::Find("other").empty());
}

} // namespace
