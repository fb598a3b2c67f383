#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "core/image_table.h"
#include "platform/inet/wininet.h"
#include "platform/win/timer.h"
#include "tests/support/activex_host.h"
#include "tests/support/gdiplus_codec_fixtures.h"
#include "tests/support/inet_loopback.h"
#include "viewer/ImageBox.h"
#include "viewer/cInet.h"
#include "viewer/class_ids.h"
#include "viewer/entry_points.h"

using namespace tavimo;
using ax::Variant;
using inet::test::HttpResponse;
using inet::test::LoopbackFtpServer;
using inet::test::LoopbackHttpServer;
namespace fs = std::filesystem;

namespace {

struct Progress {
    int32_t percent, left, total;
    bool operator==(const Progress&) const = default;
};

class InternetLoading : public ::testing::Test {
protected:
    void SetUp() override {
        inet::test::bypassProxiesForLoopback();
        tmp = fs::temp_directory_path() / ("imagebox_inet_" + std::to_string(::getpid()));
        fs::create_directories(tmp);
        setenv("tmp", tmp.c_str(), 1);
        void* out = nullptr;
        ASSERT_EQ(DllGetClassObject(&CLSID_ImageBox, &ax::IID_IClassFactory, &out), ax::S_OK);
        factory = ax::ComPtr<ax::ClassFactory>::adopt(static_cast<ax::ClassFactory*>(out));
        c = host.create(*factory, 200, 150);
        ASSERT_NE(c, nullptr);
        png = gp::test::libpngFixture(2, 8, false, false, 64, 48);
        pngText.assign(png.begin(), png.end());
    }
    void TearDown() override {
        if (c)
            host.destroy(c);
        unsetenv("tmp");
        fs::remove_all(tmp);
    }
    ImageBox& box() { return static_cast<ImageBox&>(*c->control); }
    std::vector<Progress> progress() const {
        std::vector<Progress> p;
        for (auto& r : c->events->records)
            if (r.name == "DataReceived")
                p.push_back({r.args[0].toLong(), r.args[1].toLong(), r.args[2].toLong()});
        return p;
    }
    size_t tempFiles() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(tmp), {}));
    }

    fs::path tmp;
    ax::HeadlessHost host;
    ax::ComPtr<ax::ClassFactory> factory;
    ax::HostedControl* c = nullptr;
    std::vector<uint8_t> png;
    std::string pngText;
};

} // namespace

TEST_F(InternetLoading, HttpDownloadIsShownWithProgressPerChunk) {
    LoopbackHttpServer server([&](const std::string&) { return HttpResponse::ok(pngText); });
    box().SetHttpTransfertBufferSize(100);
    int32_t total = static_cast<int32_t>(png.size());
    for (std::string host :
         {"127.0.0.1", " HTTP://127.0.0.1", "http://127.0.0.1", "https://127.0.0.1"}) {
        c->events->records.clear();
        EXPECT_EQ(box().DisplayFromURL(host, "/img.png", server.port()), QuennetStatus::OK) << host;
        EXPECT_NE(box().GetNativeImage(), 0);
        EXPECT_EQ(box().get_ImageWidth(), 64);
        EXPECT_EQ(box().get_ImageHeight(), 48);
        auto p = progress();
        ASSERT_EQ(p.size(), static_cast<size_t>((total + 99) / 100));
        EXPECT_EQ(p.back(), (Progress{100, 0, total}));
        EXPECT_EQ(p.front().left, total - 100);
        EXPECT_TRUE(std::is_sorted(p.begin(), p.end(),
                                   [](auto& a, auto& b) { return a.percent < b.percent; }));
        box().CloseImage();
    }
    EXPECT_EQ(tempFiles(), 0u) << "the byte file goes with the image";
    for (auto& r : server.requests())
        EXPECT_EQ(r.substr(0, r.find("\r\n")), "GET /img.png HTTP/1.0");
}

TEST_F(InternetLoading, ProgressOfTenThousandBytesInChunksOf4096) {
    std::string body(10000, 'x');
    LoopbackHttpServer server([&](const std::string&) { return HttpResponse::ok(body); });
    box().SetHttpTransfertBufferSize(4096);
    QuennetStatus s = box().DisplayFromURL("127.0.0.1", "/data", server.port());
    EXPECT_EQ(progress(),
              (std::vector<Progress>{{41, 5904, 10000}, {82, 1808, 10000}, {100, 0, 10000}}));
    // The bytes are no image: the loader's status is the result.
    EXPECT_NE(s, QuennetStatus::OK);
    EXPECT_NE(s, QuennetStatus::InternetHttpTransferError);
    EXPECT_EQ(tempFiles(), 0u);

    // A size below 1 keeps the session's own chunk size of 1024.
    box().SetHttpTransfertBufferSize(0);
    c->events->records.clear();
    box().DisplayFromURL("127.0.0.1", "/data", server.port());
    EXPECT_EQ(progress().size(), 10u);
    EXPECT_EQ(progress()[0], (Progress{11, 8976, 10000}));
}

TEST_F(InternetLoading, EachFailureHasItsStatusAndLeavesTheControlClosed) {
    LoopbackHttpServer server([&](const std::string& path) {
        if (path == "/missing")
            return HttpResponse::status(404, "Not Found", "<html>no</html>");
        if (path == "/nolength")
            return HttpResponse::ok(pngText, -1);
        if (path == "/zero")
            return HttpResponse::ok("", 0);
        if (path == "/badlength") {
            HttpResponse r = HttpResponse::ok(pngText, -1);
            r.head += "\r\nContent-Length: 99999999999"; // beyond 32 bits
            return r;
        }
        if (path == "/huge") // claims 2 GB, sends a few bytes
            return HttpResponse::ok(pngText, 2000000000);
        if (path == "/short")
            return HttpResponse::ok(pngText, static_cast<long long>(pngText.size()) + 500);
        return HttpResponse::ok(pngText);
    });
    uint16_t dead = inet::test::unusedLoopbackPort();
    struct Case {
        std::string host, path;
        int32_t port;
        QuennetStatus want;
    } cases[] = {
        {"a b", "/img", server.port(), QuennetStatus::InternetConnectError},
        {"127.0.0.1", "/a\r\nX-Injected: 1", server.port(),
         QuennetStatus::InternetHttpOpenRequestError},
        {"127.0.0.1", "/img", dead, QuennetStatus::InternetHttpSendRequestError},
        {"127.0.0.1", "/missing", server.port(), QuennetStatus::InternetHttpSendRequestError},
        {"127.0.0.1", "/badlength", server.port(), QuennetStatus::InternetHttpQueryError},
        {"127.0.0.1", "/nolength", server.port(), QuennetStatus::InternetHttpInvalidFileLength},
        {"127.0.0.1", "/zero", server.port(), QuennetStatus::InternetHttpInvalidFileLength},
        {"127.0.0.1", "/short", server.port(), QuennetStatus::InternetHttpTransferError},
        {"127.0.0.1", "/huge", server.port(), QuennetStatus::InternetHttpTransferError},
        {"127.0.0.1", "/img", 70000, QuennetStatus::ValueOverflow},
        {"127.0.0.1", "/img", -1, QuennetStatus::ValueOverflow},
    };
    // Chunks as large as the body may claim: memory follows what arrives.
    box().SetHttpTransfertBufferSize(0x7FFFFFFF);
    for (auto& k : cases) {
        ASSERT_EQ(box().DisplayFromURL("127.0.0.1", "/img", server.port()), QuennetStatus::OK);
        EXPECT_EQ(box().DisplayFromURL(k.host, k.path, k.port), k.want) << k.path;
        EXPECT_EQ(box().GetStat(), k.want);
        EXPECT_EQ(box().GetNativeImage(), 0) << k.path;
        EXPECT_EQ(box().get_PageCount(), 0);
    }
    EXPECT_EQ(inet::OpenHandleCount(), 0u);
}

TEST_F(InternetLoading, StopEndsTheDownloadAndASecondCallReturnsAtOnce) {
    std::string body(20000, 'y');
    LoopbackHttpServer server([&](const std::string&) {
        HttpResponse r = HttpResponse::ok(body);
        r.holdAfter = 4096; // the rest never comes unless released
        return r;
    });
    box().SetHttpTransfertBufferSize(4096);
    QuennetStatus inner = QuennetStatus::GenericError;
    c->events->onEvent = [&](ax::DispId id, std::span<Variant>) {
        if (id != static_cast<ax::DispId>(ImageBoxEvent::DataReceived))
            return;
        inner = box().DisplayFromURL("127.0.0.1", "/other", server.port());
        c->call("DisplayFromURLStop");
    };
    EXPECT_EQ(box().DisplayFromURL("127.0.0.1", "/slow", server.port()),
              QuennetStatus::InternetHttpTransferError);
    EXPECT_EQ(inner, QuennetStatus::OK) << "the re-entrant call answers the last status";
    EXPECT_EQ(progress(), (std::vector<Progress>{{21, 15904, 20000}}));
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(box().GetNativeImage(), 0);
    server.release();

    // The control is idle again: Stop does nothing, and the next download runs.
    c->events->onEvent = nullptr;
    box().DisplayFromURLStop();
    LoopbackHttpServer good([&](const std::string&) { return HttpResponse::ok(pngText); });
    EXPECT_EQ(box().DisplayFromURL("127.0.0.1", "/img", good.port()), QuennetStatus::OK);
}

TEST_F(InternetLoading, MessagesArePumpedBetweenChunks) {
    std::string body(20000, 'y');
    LoopbackHttpServer server([&](const std::string&) {
        HttpResponse r = HttpResponse::ok(body);
        r.holdAfter = 8192;
        return r;
    });
    box().SetHttpTransfertBufferSize(4096);
    // A timer of the host stops the transfer; it can only fire from the pump that follows
    // a chunk, once the handler has moved the clock on.
    uintptr_t timer = win::SetTimer(0, 0, 10, [&](win::HWND, uint32_t, uintptr_t id, uint32_t) {
        win::KillTimer(0, id);
        box().DisplayFromURLStop();
    });
    ASSERT_NE(timer, 0u);
    c->events->onEvent = [&](ax::DispId, std::span<Variant>) { host.clock().advance(20); };
    EXPECT_EQ(box().DisplayFromURL("127.0.0.1", "/slow", server.port()),
              QuennetStatus::InternetHttpTransferError);
    EXPECT_EQ(progress().size(), 1u);
    server.release();
}

TEST_F(InternetLoading, TerminateInAHandlerEndsTheTransfer) {
    std::string body(20000, 'y');
    LoopbackHttpServer server([&](const std::string&) { return HttpResponse::ok(body); });
    box().SetHttpTransfertBufferSize(4096);
    c->events->onEvent = [&](ax::DispId, std::span<Variant>) { c->call("Terminate"); };
    EXPECT_EQ(box().DisplayFromURL("127.0.0.1", "/x", server.port()),
              QuennetStatus::InternetHttpTransferError);
    EXPECT_EQ(progress().size(), 1u);
    EXPECT_EQ(box().GetNativeImage(), 0);
}

TEST_F(InternetLoading, FtpDownloadIsShownAndItsFileGoesWithTheImage) {
    LoopbackFtpServer server({{"pics/a.png", pngText}}, "ann", "pw");
    for (bool passive : {true, false}) {
        box().SetFtpPassiveMode(passive);
        EXPECT_EQ(box().DisplayFromFTP("127.0.0.1", "\\pics\\a.png ", "ann", "pw", server.port()),
                  QuennetStatus::OK);
        EXPECT_EQ(box().get_ImageWidth(), 64);
        EXPECT_EQ(tempFiles(), 1u);
        box().CloseImage();
        EXPECT_EQ(tempFiles(), 0u);
    }
    auto cmds = server.commands();
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "RETR pics/a.png"), 2);
    EXPECT_TRUE(
        std::any_of(cmds.begin(), cmds.end(), [](auto& s) { return s.rfind("EPRT", 0) == 0; }));

    box().SetFtpPassiveMode(true);
    EXPECT_EQ(box().DisplayFromFTP("127.0.0.1", "//pics/none.png", "ann", "pw", server.port()),
              QuennetStatus::InternetFtpGetFileError);
    EXPECT_EQ(box().DisplayFromFTP("127.0.0.1", "pics/a.png", "ann", "bad", server.port()),
              QuennetStatus::InternetConnectError);
    EXPECT_EQ(
        box().DisplayFromFTP("127.0.0.1", "pics/a.png", "", "", inet::test::unusedLoopbackPort()),
        QuennetStatus::InternetConnectError);
    EXPECT_EQ(box().GetNativeImage(), 0);
    EXPECT_EQ(tempFiles(), 0u) << "failed downloads leave no file";
}

TEST_F(InternetLoading, FtpFileThatIsNoImageIsDeleted) {
    LoopbackFtpServer server(std::map<std::string, std::string>{{"a.txt", "hello"}});
    QuennetStatus s = box().DisplayFromFTP("127.0.0.1", "/a.txt", "", "", server.port());
    EXPECT_NE(s, QuennetStatus::OK);
    EXPECT_NE(s, QuennetStatus::InternetFtpGetFileError);
    EXPECT_EQ(tempFiles(), 0u);
}

TEST(cInetTest, ReadArrayNeedsALengthAndErrorTextsAreKnown) {
    cInet inet;
    ASSERT_NE(inet.hInternet(), 0);
    std::vector<uint8_t> bytes{1, 2};
    EXPECT_FALSE(inet.ReadArray(bytes, 0));
    EXPECT_TRUE(bytes.empty());
    std::string s;
    int32_t n = 7;
    EXPECT_EQ(inet.QueryInfo(0x20000005, s, n), 0) << "no request was sent";
    EXPECT_EQ(inet.QueryInfo(0x10000000 | 0xB, s, n), 0) << "levels that query nothing";

    int known = 0;
    for (int code = 12000; code < 12200; ++code)
        if (cInet::TranslateErrorCode(code) != "Unknown Error")
            ++known;
    EXPECT_EQ(known, 59);
    EXPECT_EQ(cInet::TranslateErrorCode(12001), "No more handles could be generated at this time");
    EXPECT_EQ(cInet::TranslateErrorCode(12029), "The attempt to connect to the server failed.");
    EXPECT_EQ(cInet::TranslateErrorCode(12131), "The request must be made for a file locator.");
    EXPECT_EQ(cInet::TranslateErrorCode(87), "The parameter is incorrect.");
    EXPECT_EQ(cInet::TranslateErrorCode(99999), "Unknown Error");
}
