#include "pdf/md5.h"
#include "pdf/pdf_format.h"
#include "pdf/pdf_security.h"
#include "pdf/rc4.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using tavimo::Md5;
using tavimo::Rc4;
using tavimo::pdf::BytesToHex;

std::string hexToBytes(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

TEST(Md5, MatchesTheRfc1321Suite) {
    struct Case {
        std::string input;
        const char* digest;
    } cases[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "D174AB98D277D9F5A5611C2C9F419D9F"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BytesToHex(Md5::bytesOf(c.input)), c.digest) << '"' << c.input << '"';
}

TEST(Md5, PiecewiseUpdatesEqualOneShotOverManyBlocks) {
    std::string data;
    for (int i = 0; i < 1000; ++i)
        data += char(i * 7);
    Md5 md5;
    for (std::size_t at = 0; at < data.size(); at += 37)
        md5.update(std::string_view(data).substr(at, 37));
    EXPECT_EQ(md5.finish(), Md5::of(data));
}

// RFC 6229 key-stream bytes at the offsets 0, 16, 240 and 4080.
TEST(Rc4, MatchesTheRfc6229KeyStreams) {
    struct Case {
        const char* key;
        const char* at0;
        const char* at16;
        const char* at240;
        const char* at4080;
    } cases[] = {
        {"0102030405", "B2396305F03DC027CCC3524A0A1118A8", "6982944F18FC82D589C403A47A0D0919",
         "28CB1132C96CE286421DCAADB8B69EAE", "068326A2118416D21F9D04B2CD1CA050"},
        {"0102030405060708090A0B0C0D0E0F10", "9AC7CC9A609D1EF7B2932899CDE41B97",
         "5248C4959014126A6E8A84F11D1A9E1C", "065902E4B620F6CC36C8589F66432F2B",
         "FF38265C1642C1ABE8D3C2FE5E572BF8"},
    };
    for (const auto& c : cases) {
        std::string stream = Rc4::crypt(hexToBytes(c.key), std::string(4096, '\0'));
        EXPECT_EQ(BytesToHex(stream.substr(0, 16)), c.at0) << c.key;
        EXPECT_EQ(BytesToHex(stream.substr(16, 16)), c.at16) << c.key;
        EXPECT_EQ(BytesToHex(stream.substr(240, 16)), c.at240) << c.key;
        EXPECT_EQ(BytesToHex(stream.substr(4080, 16)), c.at4080) << c.key;
    }
}

TEST(Rc4, EmptyKeyGivesEmptyResultAndOnlyTheFirst256KeyBytesCount) {
    EXPECT_EQ(Rc4::crypt("", "data"), "");
    std::string key(256, 'k');
    EXPECT_EQ(Rc4::crypt(key, "data"), Rc4::crypt(key + "ignored", "data"));
    EXPECT_EQ(Rc4::crypt("k", Rc4::crypt("k", "round trip")), "round trip");
}

TEST(Security, PermissionsFromRights) {
    using tavimo::pdf::PermissionsValue;
    struct Case {
        int rights;
        int r3;
        int r2;
    } cases[] = {
        {-1, -4, -4},     {255, -4, -4},       {0, -3904, -64},
        {16, -3648, -64}, {1 | 2, -3884, -44}, {128, -1856, -64},
    };
    for (auto c : cases) {
        EXPECT_EQ(PermissionsValue(c.rights, 2), c.r3) << c.rights;
        EXPECT_EQ(PermissionsValue(c.rights, 1), c.r2) << c.rights;
    }
}

TEST(Security, ObjectKeyLengthsAndBlankOwnerPassword) {
    using namespace tavimo::pdf;
    std::string id(32, 'A');
    auto r2 = ComputeEncryptionKeys(-1, 1, "", "", id);
    auto r3 = ComputeEncryptionKeys(-1, 2, "", "", id);
    EXPECT_EQ(r2.fileKey.size(), 5u);
    EXPECT_EQ(r3.fileKey.size(), 16u);
    EXPECT_EQ(ObjectKey(r2, 1).size(), 10u);
    EXPECT_EQ(ObjectKey(r3, 1).size(), 16u);
    EXPECT_EQ(r3.userValue.size(), 32u);
    EXPECT_EQ(r3.userValue.substr(16), std::string(16, ' '));
    EXPECT_EQ(ObjectKey(SecurityValues{}, 1), "");
    // A blank owner password is the user password.
    EXPECT_EQ(ComputeEncryptionKeys(-1, 2, "  ", "user", id).ownerValue,
              ComputeEncryptionKeys(-1, 2, "user", "user", id).ownerValue);
    EXPECT_NE(ComputeEncryptionKeys(-1, 2, "owner", "user", id).ownerValue,
              ComputeEncryptionKeys(-1, 2, "user", "user", id).ownerValue);
}

} // namespace
