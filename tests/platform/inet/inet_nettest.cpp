#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/inet/wininet.h"
#include "tests/support/inet_loopback.h"

using namespace inet;
using inet::test::HttpResponse;
using inet::test::LoopbackFtpServer;
using inet::test::LoopbackHttpServer;

namespace {

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return s;
}

class InetTest : public ::testing::Test {
protected:
    void SetUp() override {
        inet::test::bypassProxiesForLoopback();
        session = InternetOpenA("quennet", INTERNET_OPEN_TYPE_PRECONFIG, "", "", 0);
        ASSERT_NE(session, 0u);
    }
    void TearDown() override {
        InternetCloseHandle(session);
        EXPECT_EQ(OpenHandleCount(), 0u);
    }
    HINTERNET get(uint16_t port, const std::string& path) {
        HINTERNET c =
            InternetConnectA(session, "127.0.0.1", port, "", "", INTERNET_SERVICE_HTTP, 0, 0);
        EXPECT_NE(c, 0u);
        HINTERNET r = HttpOpenRequestA(c, "GET", path, "HTTP/1.0", "", INTERNET_FLAG_RELOAD, 0);
        EXPECT_NE(r, 0u);
        return r;
    }
    uint32_t number(HINTERNET r, uint32_t level) {
        uint32_t v = 0, len = sizeof v;
        EXPECT_TRUE(HttpQueryInfoA(r, level | HTTP_QUERY_FLAG_NUMBER, &v, len));
        return v;
    }
    HINTERNET session = 0;
};

} // namespace

TEST_F(InetTest, GetReadsTheBodyInCallerSizedPiecesAndReportsHeaders) {
    std::string body = pattern(10000);
    LoopbackHttpServer server([&](const std::string& path) {
        return path == "/dir/a%20b.png" ? HttpResponse::ok(body)
                                        : HttpResponse::status(404, "Not Found", "nope");
    });
    HINTERNET r = get(server.port(), "/dir/a b.png");
    ASSERT_TRUE(HttpSendRequestA(r, "", nullptr, 0));
    EXPECT_EQ(number(r, HTTP_QUERY_STATUS_CODE), 200u);
    EXPECT_EQ(number(r, HTTP_QUERY_CONTENT_LENGTH), 10000u);
    char type[64];
    uint32_t len = sizeof type;
    ASSERT_TRUE(HttpQueryInfoA(r, HTTP_QUERY_CONTENT_TYPE, type, len));
    EXPECT_EQ(std::string(type, len), "application/octet-stream");
    uint32_t tiny = 3;
    EXPECT_FALSE(HttpQueryInfoA(r, HTTP_QUERY_CONTENT_TYPE, type, tiny));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(tiny, 25u);
    uint32_t v = 0, vl = sizeof v;
    EXPECT_FALSE(HttpQueryInfoA(r, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_NUMBER, &v, vl));
    EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);

    std::string got;
    std::vector<uint32_t> pieces;
    char buf[4096];
    for (;;) {
        uint32_t n = 0;
        ASSERT_TRUE(InternetReadFile(r, buf, sizeof buf, n));
        if (n == 0)
            break;
        pieces.push_back(n);
        got.append(buf, n);
    }
    EXPECT_EQ(pieces, (std::vector<uint32_t>{4096, 4096, 1808}));
    EXPECT_EQ(got, body);
    ASSERT_EQ(server.requests().size(), 1u);
    std::string head = server.requests()[0];
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "GET /dir/a%20b.png HTTP/1.0");
    EXPECT_NE(head.find("User-Agent: quennet"), std::string::npos);
    EXPECT_FALSE(HttpSendRequestA(r, "", nullptr, 0)) << "a request is sent once";
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_STATE);
}

TEST_F(InetTest, ErrorStatusesAndBrokenBodies) {
    LoopbackHttpServer server([&](const std::string& path) {
        if (path == "/short") // announces more than it sends, then closes
            return HttpResponse::ok("abc", 100);
        if (path == "/nolength")
            return HttpResponse::ok("abcdef", -1);
        return HttpResponse::status(404, "Not Found", "missing");
    });
    HINTERNET r = get(server.port(), "/x");
    ASSERT_TRUE(HttpSendRequestA(r, "", nullptr, 0)) << "any status is a sent request";
    EXPECT_EQ(number(r, HTTP_QUERY_STATUS_CODE), 404u);

    r = get(server.port(), "/short");
    ASSERT_TRUE(HttpSendRequestA(r, "", nullptr, 0));
    char buf[200];
    uint32_t n = 0;
    ASSERT_TRUE(InternetReadFile(r, buf, sizeof buf, n));
    EXPECT_EQ(n, 3u) << "what arrived is delivered first";
    EXPECT_FALSE(InternetReadFile(r, buf, sizeof buf, n));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CONNECTION_ABORTED);

    r = get(server.port(), "/nolength");
    ASSERT_TRUE(HttpSendRequestA(r, "", nullptr, 0));
    uint32_t v = 0, vl = sizeof v;
    EXPECT_FALSE(HttpQueryInfoA(r, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &v, vl));
    EXPECT_EQ(GetLastError(), ERROR_HTTP_HEADER_NOT_FOUND);
    ASSERT_TRUE(InternetReadFile(r, buf, sizeof buf, n));
    EXPECT_EQ(std::string(buf, n), "abcdef");
}

TEST_F(InetTest, RefusesBadHandlesHostsAndUnreachableServers) {
    char buf[4];
    uint32_t n = 0;
    EXPECT_FALSE(InternetReadFile(0x28123456, buf, 4, n));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(InternetCloseHandle(12345));
    // A session handle is no request.
    EXPECT_FALSE(InternetReadFile(session, buf, 4, n));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);

    for (const char* host : {"", "a b", "evil.example/x?", "user@host", "[::1"}) {
        EXPECT_EQ(InternetConnectA(session, host, 80, "", "", INTERNET_SERVICE_HTTP, 0, 0), 0u)
            << host;
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_INVALID_URL);
    }
    uint16_t dead = inet::test::unusedLoopbackPort();
    HINTERNET r = get(dead, "/");
    EXPECT_FALSE(HttpSendRequestA(r, "", nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
    EXPECT_EQ(InternetConnectA(session, "127.0.0.1", dead, "", "", INTERNET_SERVICE_FTP,
                               INTERNET_FLAG_PASSIVE, 0),
              0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
}

TEST_F(InetTest, ClosingTheSessionClosesWhatWasMadeUnderIt) {
    HINTERNET c = InternetConnectA(session, "127.0.0.1", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET r = HttpOpenRequestA(c, "GET", "/", "", "", 0, 0);
    ASSERT_NE(r, 0u);
    EXPECT_EQ(OpenHandleCount(), 3u);
    ASSERT_TRUE(InternetCloseHandle(session));
    EXPECT_EQ(OpenHandleCount(), 0u);
    char buf[4];
    uint32_t n = 0;
    EXPECT_FALSE(InternetReadFile(r, buf, 4, n));
    session = InternetOpenA("quennet", 0, "", "", 0);
}

TEST_F(InetTest, FtpDownloadsInPassiveAndActiveMode) {
    std::string body = pattern(70000);
    LoopbackFtpServer server({{"dir/file.bin", body}}, "ann", "secret");
    auto local =
        std::filesystem::temp_directory_path() / ("inet_ftp_" + std::to_string(::getpid()));
    for (uint32_t mode : {INTERNET_FLAG_PASSIVE, 0u}) {
        HINTERNET c = InternetConnectA(session, "127.0.0.1", server.port(), "ann", "secret",
                                       INTERNET_SERVICE_FTP, mode, 0);
        ASSERT_NE(c, 0u) << mode;
        ASSERT_TRUE(FtpGetFileA(c, "dir/file.bin", local, false, 0, 0, 0)) << GetLastError();
        std::ifstream in(local, std::ios::binary);
        std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(got, body);
        EXPECT_FALSE(FtpGetFileA(c, "dir/missing.bin", local, false, 0, 0, 0));
        EXPECT_EQ(GetLastError(), ERROR_INTERNET_EXTENDED_ERROR);
        EXPECT_FALSE(FtpGetFileA(c, "dir/file.bin", local, true, 0, 0, 0));
        EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
        EXPECT_FALSE(FtpGetFileA(c, "x\r\nDELE y", local, false, 0, 0, 0));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        InternetCloseHandle(c);
    }
    std::filesystem::remove(local);
    bool sawRetr = false, sawActive = false;
    for (auto& cmd : server.commands()) {
        sawRetr |= cmd == "RETR dir/file.bin";
        sawActive |= cmd.rfind("EPRT", 0) == 0 || cmd.rfind("PORT", 0) == 0;
    }
    EXPECT_TRUE(sawRetr);
    EXPECT_TRUE(sawActive);
    EXPECT_EQ(InternetConnectA(session, "127.0.0.1", server.port(), "ann", "wrong",
                               INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0),
              0u);
    EXPECT_EQ(GetLastError(), ERROR_INTERNET_LOGIN_FAILURE);
}
