#pragma once

// Tiny HTTP and FTP servers on 127.0.0.1 for the Internet tests: each runs on its own
// thread, serves one connection at a time and records what it was asked.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace inet::test {

// Points libcurl's proxy lookup past loopback, whatever the environment says.
void bypassProxiesForLoopback();

struct HttpResponse {
    std::string head; // status line and headers, without the blank line
    std::string body;
    // Bytes of the body sent before the server waits for release(); npos sends it all.
    size_t holdAfter = std::string::npos;

    // 200 with the body and its Content-Length (or `length` when given; -1 omits it).
    static HttpResponse ok(const std::string& body, long long length = -2);
    static HttpResponse status(int code, const std::string& text, const std::string& body = {});
};

class LoopbackHttpServer {
public:
    using Handler = std::function<HttpResponse(const std::string& path)>;
    explicit LoopbackHttpServer(Handler handler);
    ~LoopbackHttpServer();

    uint16_t port() const { return m_port; }
    // The request heads received, in order.
    std::vector<std::string> requests() const;
    // Lets a held response send the rest of its body.
    void release();

private:
    void run();
    void serve(int fd);

    Handler m_handler;
    int m_listen = -1;
    uint16_t m_port = 0;
    bool m_stop = false;
    bool m_released = false;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

class LoopbackFtpServer {
public:
    // files: path as RETR names it -> content. An empty user accepts any log-on.
    LoopbackFtpServer(std::map<std::string, std::string> files, std::string user = {},
                      std::string password = {});
    ~LoopbackFtpServer();

    uint16_t port() const { return m_port; }
    // Every command line received ("RETR dir/a.png", "PASV", ...), in order.
    std::vector<std::string> commands() const;

private:
    void run();
    void session(int fd);

    std::map<std::string, std::string> m_files;
    std::string m_user, m_password;
    int m_listen = -1;
    uint16_t m_port = 0;
    bool m_stop = false;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_commands;
    std::thread m_thread;
};

// A port on 127.0.0.1 that nothing listens on (bound then closed).
uint16_t unusedLoopbackPort();

} // namespace inet::test
