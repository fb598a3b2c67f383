#include "core/image_metadata.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/session.h"
#include "platform/win/vb_number.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace tavimo;

std::vector<uint8_t> bytesOf(std::initializer_list<int> values) {
    return std::vector<uint8_t>(values.begin(), values.end());
}

std::vector<uint8_t> rational(int32_t n, int32_t d) {
    std::vector<uint8_t> b(8);
    std::memcpy(b.data(), &n, 4);
    std::memcpy(b.data() + 4, &d, 4);
    return b;
}

TEST(PropertyTagName, KeepsTheLibrarysSpellingsAndFallsBackToHex) {
    struct Case {
        uint32_t id;
        const char* name;
    } cases[] = {
        {0x012D, "TransferFuncition"}, {0x0200, "JPEroc"},   {0xC4A5, "PrintIMData"},
        {0x9999, "9999"},              {0x10, "GpsImgDirRef"}, {0x0F00, "F00"},
        {0x0000, "GpsVer"},            {0x5100, "FrameDelay"}, {0x9286, "ExifUserComment"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PropertyTagName(c.id), c.name) << std::hex << c.id;
}

TEST(FormatPropertyValue, TextByType) {
    auto two = std::vector<uint8_t>{1, 0, 2, 0};
    struct Case {
        uint32_t tag;
        int32_t type, length, count;
        std::vector<uint8_t> bytes;
        std::string expected;
    } cases[] = {
        {0x011A, 5, 8, 1, rational(300, 1), " 300"},
        {0x829A, 5, 8, 1, rational(1, 250), " .004"},
        {0x0001, 3, 4, 2, two, " 1,  2"},
        {0x0001, 8, 2, 1, bytesOf({0xFF, 0xFF}), " 65535"}, // signed shorts read unsigned
        {0x0001, 9, 4, 1, bytesOf({0xFE, 0xFF, 0xFF, 0xFF}), "-2"},
        {0x0001, 7, 2, 2, bytesOf({0x0A, 0xFF}), "0A, FF"},
        {0x0001, 1, 2, 2, bytesOf({7, 200}), " 7,  200"},
        {0x927C, 7, 10000, 10000, {}, "10000 Byte"},
        {0x0001, 11, 4, 1, bytesOf({0, 0, 0, 0}), "4 Byte"},
        {0x0001, 2, 0, 1, {}, "0"},
        {0x010F, 2, 3, 1, bytesOf({'A', 0xE9, 0}), std::string("A\xC3\xA9\0", 4)},
        {0x9286, 7, 13, 13, bytesOf({'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'H', 'e', 'l', 'l', 'o'}),
         "Hello"},
        {0x02BC, 1, 3, 3, bytesOf({'<', 'x', '>'}), "<x>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatPropertyValue(c.tag, c.type, c.length, c.count, c.bytes), c.expected)
            << "tag " << c.tag << " type " << c.type;
}

TEST(FormatPropertyValue, ZeroDenominatorIsADivisionError) {
    try {
        FormatPropertyValue(0x011A, 5, 8, 1, rational(1, 0));
        FAIL();
    } catch (const win::VbError& e) {
        EXPECT_EQ(e.number(), win::kVbDivisionByZero);
    }
}

class ImageMetadata : public ::testing::Test {
protected:
    void SetUp() override {
        gp::test::ResetSession();
        gp::GdiplusStartupInput input;
        ASSERT_EQ(gp::GdiplusStartup(&m_token, &input, nullptr), gp::Ok);
        gp::GpBitmap b = 0;
        ASSERT_EQ(gp::GdipCreateBitmapFromScan0(2, 2, 0, gp::PixelFormat24bppRGB, nullptr, &b),
                  gp::Ok);
        RegisterImage(m_id, b, "", "", SourceKindGdiImage);
    }
    void TearDown() override {
        ReleaseAllImages();
        gp::GdiplusShutdown(m_token);
        gp::test::ResetSession();
    }
    uintptr_t m_token = 0;
    ImageId m_id = 0;
};

TEST_F(ImageMetadata, ItemsReadBackByPositionWithTheirCountsAndSizes) {
    ASSERT_EQ(SetRawTag(m_id, 0x0001, 3, {1, 0, 2, 0, 3}, false), OK); // 5 bytes of shorts
    ASSERT_EQ(SetRawTag(m_id, 0x011A, 5, rational(72, 1), true), OK);
    EXPECT_TRUE(FindImageRecord(m_id)->Modified);

    uint32_t count = 0;
    ASSERT_EQ(GetImagePropertyCount(m_id, count), OK);
    ASSERT_EQ(count, 2u);
    EXPECT_FALSE(GetPropertyItemByIndex(m_id, 0, count));
    EXPECT_FALSE(GetPropertyItemByIndex(m_id, 3, count));

    auto shorts = GetPropertyItemByIndex(m_id, 1, count);
    ASSERT_TRUE(shorts);
    EXPECT_EQ(shorts->ID(), 1);
    EXPECT_EQ(shorts->Length(), 5);
    EXPECT_EQ(shorts->ValueCount(), 2); // 5 / 2 = 2.5, halves to even
    EXPECT_EQ(shorts->ElementDataSize(), 2);
    EXPECT_EQ(shorts->DataBufferSize(), 10);
    EXPECT_EQ(shorts->name(), "GpsLatitudeRef");
    EXPECT_EQ(shorts->ParseLong(1), 0x00020001);
    EXPECT_THROW(shorts->ParseLong(2), win::VbError); // 4 bytes past the value
    EXPECT_EQ(shorts->ParseLong(3), 0);

    std::vector<uint8_t> all;
    shorts->GetDataB(all);
    EXPECT_EQ(all.size(), 5u);
    std::vector<uint8_t> longer(6);
    EXPECT_THROW(shorts->GetData(longer), win::VbError);

    EXPECT_EQ(GetExifTagValue(m_id, 2), " 72");
    EXPECT_EQ(GetExifTagValue(m_id, 3), "");
    EXPECT_EQ(GetExifTagValue(m_id + 1, 1), "");
    uint32_t none = 7;
    EXPECT_EQ(GetImagePropertyCount(m_id + 1, none), OK);
    EXPECT_EQ(none, 0u);
}

TEST_F(ImageMetadata, UserCommentGetsItsCharacterCodeHeader) {
    ASSERT_EQ(SetAsciiTag(m_id, 37510, "Hi", false), OK);
    auto item = CreatePropertyItem(m_id, 37510);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->Length(), 10);
    std::vector<uint8_t> bytes;
    item->GetDataB(bytes);
    ASSERT_GE(bytes.size(), 10u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 10), "ASCII   Hi");
    EXPECT_EQ(SetAsciiTag(m_id, 0x010F, "", false), InvalidParameter);
    EXPECT_EQ(SetAsciiTag(m_id + 1, 0x010F, "x", false), InvalidParameter);
}

TEST_F(ImageMetadata, NumberListsAreParsedLikeVal) {
    ASSERT_EQ(SetLongArrayTag(m_id, 0x0100, " 10 , 20 , x", false, false), OK);
    auto item = CreatePropertyItem(m_id, 0x0100);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->ItemType(), 4);
    EXPECT_EQ(item->ValueCount(), 3);
    EXPECT_EQ(item->ParseLong(1), 10);
    EXPECT_EQ(item->ParseLong(2), 20);
    EXPECT_EQ(item->ParseLong(3), 0);
    EXPECT_EQ(SetLongArrayTag(m_id, 0x0100, "  ", false, true), InvalidParameter);

    // Unsigned shorts keep values above 32767; beyond 16 bits is an overflow.
    ASSERT_EQ(SetShortArrayTag(m_id, 0x5101, "40000", false), OK);
    auto loop = CreatePropertyItem(m_id, 0x5101);
    EXPECT_EQ(FormatPropertyValue(0x5101, loop->ItemType(), loop->Length(), loop->ValueCount(),
                                  [&] { std::vector<uint8_t> b; loop->GetDataB(b); return b; }()),
              " 40000");
    EXPECT_THROW(SetShortArrayTag(m_id, 0x5101, "70000", false), win::VbError);
}

TEST_F(ImageMetadata, RemovedItemsAreGone) {
    ASSERT_EQ(SetRawTag(m_id, 0x882A, 3, {1, 0}, false), OK);
    EXPECT_EQ(RemovePropertyItem(m_id, 0x882A), OK);
    EXPECT_FALSE(CreatePropertyItem(m_id, 0x882A));
    EXPECT_EQ(RemovePropertyItem(m_id, 0x882A), gp::PropertyNotFound);
}

} // namespace
