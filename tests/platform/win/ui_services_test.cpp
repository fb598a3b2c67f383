#include "platform/win/ui_services.h"

#include "platform/win/system_info.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace {

using namespace win;

class ThrowingSink : public MessageSink {
public:
    int show(const MessageRecord&) override { throw std::runtime_error("no display"); }
};

TEST(MessageSink, DefaultWritesStderrAndKeepsAThreadRecord) {
    setMessageSink(nullptr);
    StderrMessageSink::clearThreadRecord();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MsgBox("Error starting GDI+. Err no:  53. Error: File not found"), IDOK);
    EXPECT_EQ(MsgBox("second", MB_OKCANCEL, "Title"), IDOK);
    std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed, "Error starting GDI+. Err no:  53. Error: File not found\n"
                       "Title: second\n");
    auto record = StderrMessageSink::threadRecord();
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(record[1].style, MB_OKCANCEL);
    std::thread([] { EXPECT_TRUE(StderrMessageSink::threadRecord().empty()); }).join();

    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 150; ++i)
        MsgBox("m" + std::to_string(i));
    ::testing::internal::GetCapturedStderr();
    record = StderrMessageSink::threadRecord();
    ASSERT_EQ(record.size(), 100u) << "the record is bounded";
    EXPECT_EQ(record.back().text, "m149");
}

TEST(MessageSink, RecordingFakeAndFailingSink) {
    auto fake = std::make_shared<RecordingMessageSink>(IDCANCEL);
    auto previous = setMessageSink(fake);
    EXPECT_EQ(MsgBox("a"), IDCANCEL);
    std::thread([] { MsgBox("from another thread", MB_YESNO); }).join();
    EXPECT_EQ(fake->texts(), (std::vector<std::string>{"a", "from another thread"}));
    EXPECT_EQ(fake->messages()[1].style, MB_YESNO);
    setMessageSink(std::make_shared<ThrowingSink>());
    EXPECT_EQ(MsgBox("lost"), IDOK);
    EXPECT_EQ(setMessageSink(previous).get() != nullptr, true);
}

TEST(FileDialog, DefaultCancelsAndScriptedFakeAnswersInOrder) {
    setFileDialogProvider(nullptr);
    OpenFileRequest request;
    request.ownerWindow = 77;
    request.instance = kModuleInstance;
    EXPECT_EQ(GetOpenFileName(request), "");

    auto fake = std::make_shared<ScriptedFileDialogProvider>();
    setFileDialogProvider(fake);
    fake->queueAnswer("/tmp/first.png");
    fake->queueAnswer(std::string("/tmp/second.png\0garbage", 23));
    fake->queueAnswer("/" + std::string(255, 'x')); // 256 characters: no room for the NUL
    fake->queueAnswer("/" + std::string(254, 'y'));
    EXPECT_EQ(GetOpenFileName(request), "/tmp/first.png");
    EXPECT_EQ(GetOpenFileName(request), "/tmp/second.png");
    EXPECT_EQ(GetOpenFileName(request), "");
    EXPECT_EQ(GetOpenFileName(request).size(), 255u);
    EXPECT_EQ(GetOpenFileName(request), "") << "an empty queue cancels";
    auto requests = fake->requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(requests[0].title, "Open File");
    EXPECT_EQ(requests[0].ownerWindow, 77u);
    EXPECT_EQ(requests[0].bufferChars, 256u);
    EXPECT_EQ(requests[0].flags, 6u);
    setFileDialogProvider(nullptr);
}

} // namespace
