#include "platform/win/guid.h"

#include <gtest/gtest.h>

namespace {

using namespace win;

const Guid kSample{0xB96B3CAE, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

TEST(Guid, ParsesBracedOrBareInAnyCaseAndFormatsBracedUpperCase) {
    for (const char* text :
         {"{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}", "{b96b3cae-0728-11d3-9d7b-0000f81ef32e}",
          "B96B3CAE-0728-11d3-9D7B-0000F81EF32E"}) {
        EXPECT_EQ(parseGuid(text), kSample) << text;
    }
    EXPECT_EQ(formatGuid(kSample), "{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}");
    EXPECT_EQ(formatGuid(Guid{}), "{00000000-0000-0000-0000-000000000000}");
    EXPECT_EQ(parseGuid(formatGuid(kSample)), kSample);
}

TEST(Guid, TextThatIsNotAGuidGivesZero) {
    for (const char* text :
         {"", "{}", "{B96B3CAE-0728-11D3-9D7B-0000F81EF32}",
          "{B96B3CAE-0728-11D3-9D7B-0000F81EF32EE}", "{B96B3CAE_0728-11D3-9D7B-0000F81EF32E}",
          "{G96B3CAE-0728-11D3-9D7B-0000F81EF32E}", "B96B3CAE-0728-11D3-9D7B-0000F81EF32E}",
          " {B96B3CAE-0728-11D3-9D7B-0000F81EF32E}", "{B96B3CAE-0728-11D3-9D7B0-000F81EF32E}"}) {
        EXPECT_TRUE(parseGuid(text).isZero()) << text;
    }
}

} // namespace
