#include "tests/support/inet_loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace inet::test {

namespace {

int listenLoopback(uint16_t& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return -1;
    }
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}

// Waits up to ms for the socket to be readable (or to have a connection to accept).
bool readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

bool sendAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, data, n, MSG_NOSIGNAL);
        if (w <= 0)
            return false;
        data += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

bool sendAll(int fd, const std::string& s) {
    return sendAll(fd, s.data(), s.size());
}

// Reads one CRLF-terminated line; false when the peer closed or went quiet for 10 s.
bool readLine(int fd, std::string& pending, std::string& line) {
    for (;;) {
        size_t eol = pending.find("\r\n");
        if (eol != std::string::npos) {
            line = pending.substr(0, eol);
            pending.erase(0, eol + 2);
            return true;
        }
        if (!readable(fd, 10000))
            return false;
        char buf[1024];
        ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r <= 0)
            return false;
        pending.append(buf, static_cast<size_t>(r));
    }
}

int connectLoopback(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

void bypassProxiesForLoopback() {
    ::setenv("no_proxy", "127.0.0.1,localhost", 1);
    ::setenv("NO_PROXY", "127.0.0.1,localhost", 1);
}

uint16_t unusedLoopbackPort() {
    uint16_t port = 0;
    int fd = listenLoopback(port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

HttpResponse HttpResponse::ok(const std::string& body, long long length) {
    HttpResponse r;
    r.head = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream";
    if (length == -2)
        length = static_cast<long long>(body.size());
    if (length >= 0)
        r.head += "\r\nContent-Length: " + std::to_string(length);
    r.body = body;
    return r;
}

HttpResponse HttpResponse::status(int code, const std::string& text, const std::string& body) {
    HttpResponse r;
    r.head = "HTTP/1.0 " + std::to_string(code) + " " + text +
             "\r\nContent-Length: " + std::to_string(body.size());
    r.body = body;
    return r;
}

// --- HTTP ---

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : m_handler(std::move(handler)) {
    m_listen = listenLoopback(m_port);
    m_thread = std::thread([this] { run(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    m_thread.join();
    if (m_listen >= 0)
        ::close(m_listen);
}

std::vector<std::string> LoopbackHttpServer::requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void LoopbackHttpServer::release() {
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
    }
    m_cv.notify_all();
}

void LoopbackHttpServer::run() {
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
        }
        if (m_listen < 0 || !readable(m_listen, 20))
            continue;
        int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd >= 0) {
            serve(fd);
            ::close(fd);
        }
    }
}

void LoopbackHttpServer::serve(int fd) {
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (!readable(fd, 10000))
            return;
        char buf[2048];
        ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r <= 0)
            return;
        head.append(buf, static_cast<size_t>(r));
    }
    head = head.substr(0, head.find("\r\n\r\n"));
    std::string path;
    std::istringstream line(head.substr(0, head.find("\r\n")));
    std::string verb;
    line >> verb >> path;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(head);
    }
    HttpResponse resp = m_handler(path);
    std::string out = resp.head + "\r\nConnection: close\r\n\r\n";
    if (!sendAll(fd, out))
        return;
    size_t first = std::min(resp.holdAfter, resp.body.size());
    if (!sendAll(fd, resp.body.data(), first))
        return;
    if (first < resp.body.size()) {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] { return m_released || m_stop; });
        if (m_stop)
            return;
        lock.unlock();
        sendAll(fd, resp.body.data() + first, resp.body.size() - first);
    }
    ::shutdown(fd, SHUT_WR);
    // Let the client read everything before the socket goes.
    char sink[256];
    while (readable(fd, 2000) && ::recv(fd, sink, sizeof sink, 0) > 0) {
    }
}

// --- FTP ---

LoopbackFtpServer::LoopbackFtpServer(std::map<std::string, std::string> files, std::string user,
                                     std::string password)
    : m_files(std::move(files)), m_user(std::move(user)), m_password(std::move(password)) {
    m_listen = listenLoopback(m_port);
    m_thread = std::thread([this] { run(); });
}

LoopbackFtpServer::~LoopbackFtpServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_thread.join();
    if (m_listen >= 0)
        ::close(m_listen);
}

std::vector<std::string> LoopbackFtpServer::commands() const {
    std::lock_guard lock(m_mutex);
    return m_commands;
}

void LoopbackFtpServer::run() {
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
        }
        if (m_listen < 0 || !readable(m_listen, 20))
            continue;
        int fd = ::accept(m_listen, nullptr, nullptr);
        if (fd >= 0) {
            session(fd);
            ::close(fd);
        }
    }
}

void LoopbackFtpServer::session(int fd) {
    auto reply = [&](const std::string& s) { return sendAll(fd, s + "\r\n"); };
    if (!reply("220 loopback ready"))
        return;
    std::string pending, line, user;
    bool loggedIn = false;
    int passive = -1;    // listening data socket
    uint16_t active = 0; // port to connect back to
    auto openData = [&]() -> int {
        if (passive >= 0) {
            int d = readable(passive, 5000) ? ::accept(passive, nullptr, nullptr) : -1;
            ::close(passive);
            passive = -1;
            return d;
        }
        if (active != 0) {
            int d = connectLoopback(active);
            active = 0;
            return d;
        }
        return -1;
    };
    while (readLine(fd, pending, line)) {
        {
            std::lock_guard lock(m_mutex);
            m_commands.push_back(line);
            if (m_stop)
                break;
        }
        std::string cmd = line.substr(0, line.find(' '));
        std::string arg = line.size() > cmd.size() ? line.substr(cmd.size() + 1) : "";
        for (auto& ch : cmd)
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (cmd == "USER") {
            user = arg;
            reply("331 password please");
        } else if (cmd == "PASS") {
            loggedIn = m_user.empty() || (user == m_user && arg == m_password);
            reply(loggedIn ? "230 logged in" : "530 login incorrect");
        } else if (!loggedIn) {
            reply("530 not logged in");
        } else if (cmd == "PWD") {
            reply("257 \"/\" is the current folder");
        } else if (cmd == "TYPE") {
            reply("200 type set");
        } else if (cmd == "EPSV" || cmd == "PASV") {
            if (passive >= 0)
                ::close(passive);
            uint16_t p = 0;
            passive = listenLoopback(p);
            if (cmd == "EPSV")
                reply("229 Entering Extended Passive Mode (|||" + std::to_string(p) + "|)");
            else
                reply("227 Entering Passive Mode (127,0,0,1," + std::to_string(p >> 8) + "," +
                      std::to_string(p & 255) + ")");
        } else if (cmd == "EPRT") {
            // |1|127.0.0.1|port|
            size_t last = arg.find_last_of('|', arg.size() - 2);
            active = static_cast<uint16_t>(std::atoi(arg.substr(last + 1).c_str()));
            reply("200 EPRT ok");
        } else if (cmd == "PORT") {
            int v[6] = {};
            std::sscanf(arg.c_str(), "%d,%d,%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
            active = static_cast<uint16_t>(v[4] * 256 + v[5]);
            reply("200 PORT ok");
        } else if (cmd == "SIZE") {
            auto it = m_files.find(arg);
            reply(it == m_files.end() ? "550 no such file"
                                      : "213 " + std::to_string(it->second.size()));
        } else if (cmd == "RETR") {
            auto it = m_files.find(arg);
            if (it == m_files.end()) {
                reply("550 no such file");
                continue;
            }
            reply("150 sending");
            int d = openData();
            if (d < 0) {
                reply("425 no data connection");
                continue;
            }
            sendAll(d, it->second);
            ::close(d);
            reply("226 transfer complete");
        } else if (cmd == "QUIT") {
            reply("221 bye");
            break;
        } else {
            reply("502 not implemented");
        }
    }
    if (passive >= 0)
        ::close(passive);
}

} // namespace inet::test
