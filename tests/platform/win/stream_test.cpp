#include "platform/win/stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace win;

RefPtr<IStream> newHGlobalStream() {
    RefPtr<IStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(0, true, stream.put()), S_OK);
    return stream;
}

std::string readAll(IStream* stream) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadStreamToEnd(stream, bytes));
    return std::string(bytes.begin(), bytes.end());
}

TEST(HGlobalStream, BlockKeepsExactlyTheWrittenSize) {
    size_t before = GlobalBlockCount();
    {
        auto stream = newHGlobalStream();
        ASSERT_TRUE(stream);
        HGLOBAL h = 0;
        ASSERT_EQ(GetHGlobalFromStream(stream.get(), &h), S_OK);
        EXPECT_EQ(GlobalSize(h), 0u);
        // Many small writes: the block grows with them and never carries slack.
        std::string expected;
        for (int i = 0; i < 1000; ++i) {
            std::string piece = std::to_string(i) + ",";
            uint32_t written = 0;
            ASSERT_EQ(stream->Write(piece.data(), piece.size(), &written), S_OK);
            EXPECT_EQ(written, piece.size());
            expected += piece;
            ASSERT_EQ(GlobalSize(h), expected.size());
        }
        StreamStat stat;
        ASSERT_EQ(stream->Stat(&stat, 0), S_OK);
        EXPECT_EQ(stat.size, expected.size());
        ASSERT_EQ(stream->Seek(0, STREAM_SEEK_SET, nullptr), S_OK);
        EXPECT_EQ(readAll(stream.get()), expected);
        EXPECT_EQ(std::memcmp(GlobalLock(h), expected.data(), expected.size()), 0);
        GlobalUnlock(h);
    }
    EXPECT_EQ(GlobalBlockCount(), before) << "the block goes with the stream";
}

TEST(HGlobalStream, SeekOriginsGapsAndBadSeeks) {
    auto stream = newHGlobalStream();
    ASSERT_EQ(stream->Write("hello", 5, nullptr), S_OK);
    uint64_t position = 99;
    struct Case {
        int64_t move;
        uint32_t origin;
        HRESULT result;
        uint64_t position;
    } cases[] = {
        {1, STREAM_SEEK_SET, S_OK, 1},    {2, STREAM_SEEK_CUR, S_OK, 3},
        {-1, STREAM_SEEK_END, S_OK, 4},   {-5, STREAM_SEEK_CUR, STG_E_INVALIDFUNCTION, 4},
        {0, 3, STG_E_INVALIDFUNCTION, 4}, {-6, STREAM_SEEK_END, STG_E_INVALIDFUNCTION, 4},
        {7, STREAM_SEEK_SET, S_OK, 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(stream->Seek(c.move, c.origin, &position), c.result) << c.move;
        uint64_t now = 0;
        stream->Seek(0, STREAM_SEEK_CUR, &now);
        EXPECT_EQ(now, c.position) << c.move;
    }
    // Reading past the end is an empty success; writing there fills the gap with zeros.
    char buffer[4];
    uint32_t got = 9;
    EXPECT_EQ(stream->Read(buffer, 4, &got), S_OK);
    EXPECT_EQ(got, 0u);
    ASSERT_EQ(stream->Write("!", 1, nullptr), S_OK);
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(readAll(stream.get()), std::string("hello\0\0!", 8));
    EXPECT_EQ(stream->Read(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);
}

TEST(HGlobalStream, SetSizeAndCallerOwnedBlock) {
    HGLOBAL h = GlobalAlloc(GHND, 3);
    std::memcpy(GlobalLock(h), "xyz", 3);
    GlobalUnlock(h);
    {
        RefPtr<IStream> stream;
        ASSERT_EQ(CreateStreamOnHGlobal(h, false, stream.put()), S_OK);
        EXPECT_EQ(readAll(stream.get()), "xyz");
        ASSERT_EQ(stream->SetSize(1), S_OK);
        EXPECT_EQ(GlobalSize(h), 1u);
        ASSERT_EQ(stream->SetSize(4), S_OK);
        stream->Seek(0, STREAM_SEEK_SET, nullptr);
        EXPECT_EQ(readAll(stream.get()), std::string("x\0\0\0", 4));
        RefPtr<IStream> second = stream; // shared reference keeps it alive
        stream.reset();
        StreamStat stat;
        EXPECT_EQ(second->Stat(&stat, 0), S_OK);
        EXPECT_EQ(stat.size, 4u);
    }
    EXPECT_TRUE(GlobalIsHandle(h)) << "caller's block survives the stream";
    EXPECT_EQ(GlobalFree(h), 0u);

    IStream* raw = reinterpret_cast<IStream*>(1);
    EXPECT_EQ(CreateStreamOnHGlobal(h, true, &raw), E_INVALIDARG);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(CreateStreamOnHGlobal(0, true, nullptr), E_POINTER);
}

TEST(HGlobalStream, FreedBlockUnderneathFailsCleanly) {
    HGLOBAL h = GlobalAlloc(GHND, 4);
    RefPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(h, false, stream.put()), S_OK);
    GlobalFree(h);
    char buffer[4];
    uint32_t got = 7;
    EXPECT_EQ(stream->Read(buffer, 4, &got), S_OK);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(stream->Write("ab", 2, nullptr), STG_E_MEDIUMFULL);
}

TEST(ReadOnlyStreams, MemoryBytesAndFileReadSeekAndRefuseWrites) {
    static const char text[] = "0123456789";
    std::string path = ::testing::TempDir() + "stream_test_" + std::to_string(::getpid());
    std::ofstream(path, std::ios::binary) << text;

    RefPtr<IStream> streams[3];
    ASSERT_EQ(CreateStreamOnMemory(text, 10, streams[0].put()), S_OK);
    ASSERT_EQ(CreateStreamOnBytes(std::vector<uint8_t>(text, text + 10), streams[1].put()), S_OK);
    ASSERT_EQ(CreateStreamOnFile(path, streams[2].put()), S_OK);
    for (auto& stream : streams) {
        StreamStat stat;
        ASSERT_EQ(stream->Stat(&stat, 0), S_OK);
        EXPECT_EQ(stat.size, 10u);
        ASSERT_EQ(stream->Seek(-3, STREAM_SEEK_END, nullptr), S_OK);
        EXPECT_EQ(readAll(stream.get()), "789");
        EXPECT_EQ(stream->Write("a", 1, nullptr), STG_E_ACCESSDENIED);
        EXPECT_EQ(stream->SetSize(1), STG_E_ACCESSDENIED);
        stream->Seek(2, STREAM_SEEK_SET, nullptr);
        auto target = newHGlobalStream();
        uint64_t read = 0, written = 0;
        ASSERT_EQ(stream->CopyTo(target.get(), 5, &read, &written), S_OK);
        EXPECT_EQ(read, 5u);
        EXPECT_EQ(written, 5u);
        target->Seek(0, STREAM_SEEK_SET, nullptr);
        EXPECT_EQ(readAll(target.get()), "23456");
    }
    std::remove(path.c_str());

    RefPtr<IStream> missing;
    EXPECT_EQ(CreateStreamOnFile(path, missing.put()), E_FAIL);
    EXPECT_EQ(CreateStreamOnFile(::testing::TempDir(), missing.put()), E_INVALIDARG);
    EXPECT_FALSE(missing);
    HGLOBAL h = 5;
    EXPECT_EQ(GetHGlobalFromStream(streams[0].get(), &h), E_INVALIDARG);
    EXPECT_EQ(h, 0u);
}

} // namespace
