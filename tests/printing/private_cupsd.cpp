#include "tests/printing/private_cupsd.h"

#include <cups/cups.h>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace tavimo::testing {

namespace {

namespace fs = std::filesystem;

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    return bool(out) && ::chmod(path.c_str(), 0644) == 0;
}

std::string cupsdPath() {
    for (const char* p : {"/usr/sbin/cupsd", "/usr/local/sbin/cupsd"})
        if (::access(p, X_OK) == 0)
            return p;
    return {};
}

std::string fifoOf(const std::string& dir, const std::string& queue) {
    return dir + "/" + queue + ".out";
}

} // namespace

PrivateCupsd::~PrivateCupsd() {
    stop();
}

std::string PrivateCupsd::start(const std::vector<Queue>& queues) {
    const std::string cupsd = cupsdPath();
    if (cupsd.empty())
        return "cupsd is not installed";
    std::string templ = ::testing::TempDir() + "cupsd-XXXXXX";
    if (!::mkdtemp(templ.data()))
        return "no private folder";
    m_dir = templ;
    // The scheduler started as root runs its filters as another user: they must reach in.
    ::chmod(m_dir.c_str(), 0755);
    for (const char* sub : {"/conf", "/conf/ppd", "/spool", "/cache", "/state", "/log", "/tmp"}) {
        fs::create_directories(m_dir + sub);
        ::chmod((m_dir + sub).c_str(), std::strcmp(sub, "/tmp") == 0 ? 01777 : 0755);
    }

    // The sockets, bound here so that clients can connect before the scheduler has started.
    m_socket = m_dir + "/cups.sock";
    int local = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un un{};
    un.sun_family = AF_UNIX;
    if (m_socket.size() >= sizeof un.sun_path)
        return "socket path too long";
    std::memcpy(un.sun_path, m_socket.c_str(), m_socket.size() + 1);
    int tcp = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof in;
    if (local < 0 || tcp < 0 || ::bind(local, reinterpret_cast<sockaddr*>(&un), sizeof un) != 0 ||
        ::listen(local, 64) != 0 || ::bind(tcp, reinterpret_cast<sockaddr*>(&in), len) != 0 ||
        ::listen(tcp, 64) != 0 || ::getsockname(tcp, reinterpret_cast<sockaddr*>(&in), &len) != 0)
        return std::string("cannot bind the sockets: ") + std::strerror(errno);
    ::chmod(m_socket.c_str(), 0777);
    m_port = ntohs(in.sin_port);

    const std::string conf = m_dir + "/conf";
    std::ostringstream cupsdConf, filesConf, printers;
    cupsdConf << "Listen " << m_socket << "\nListen 127.0.0.1:" << m_port << "\n"
              << "LogLevel info\nBrowsing No\nBrowseLocalProtocols none\nWebInterface No\n"
                 "DefaultAuthType None\nErrorPolicy abort-job\nIdleExitTimeout 3600\n"
                 "<Location />\nOrder allow,deny\nAllow all\n</Location>\n"
                 "<Policy default>\n<Limit All>\nOrder deny,allow\n</Limit>\n</Policy>\n";
    filesConf << "ServerRoot " << conf << "\nRequestRoot " << m_dir << "/spool\nTempDir " << m_dir
              << "/tmp\nCacheDir " << m_dir << "/cache\nStateDir " << m_dir << "/state\nAccessLog "
              << m_dir << "/log/access_log\nErrorLog " << m_dir << "/log/error_log\nPageLog "
              << m_dir << "/log/page_log\nPrintcap " << m_dir
              << "/printcap\nFileDevice Yes\nSystemGroup root\n";
    bool first = true;
    for (const auto& q : queues) {
        std::string device = "/dev/null";
        if (q.collect) {
            device = fifoOf(m_dir, q.name);
            if (::mkfifo(device.c_str(), 0666) != 0)
                return "cannot make the queue's FIFO";
            ::chmod(device.c_str(), 0666);
        }
        printers << (first ? "<DefaultPrinter " : "<Printer ") << q.name << ">\nInfo " << q.name
                 << "\nDeviceURI file://" << device << "\nState Idle\nAccepting Yes\nShared No\n"
                 << (first ? "</DefaultPrinter>\n" : "</Printer>\n");
        first = false;
        if (!writeFile(conf + "/ppd/" + q.name + ".ppd", q.ppd))
            return "cannot write the PPD";
    }
    if (!writeFile(conf + "/cupsd.conf", cupsdConf.str()) ||
        !writeFile(conf + "/cups-files.conf", filesConf.str()) ||
        !writeFile(conf + "/printers.conf", printers.str()))
        return "cannot write the configuration";

    // The sockets go to the scheduler as descriptors 3 and 4, the on-demand protocol.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "LISTEN_", 7) != 0 && std::strncmp(*e, "NOTIFY_SOCKET=", 14) != 0)
            env.emplace_back(*e);
    env.emplace_back("LISTEN_FDS=2");
    env.emplace_back("LISTEN_PID=" + std::string(20, ' '));
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    char* pidSlot = env.back().data() + std::strlen("LISTEN_PID=");
    const std::string confFile = conf + "/cupsd.conf", filesFile = conf + "/cups-files.conf";
    const int highLocal = ::fcntl(local, F_DUPFD_CLOEXEC, 10);
    const int highTcp = ::fcntl(tcp, F_DUPFD_CLOEXEC, 10);
    ::close(local);
    ::close(tcp);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // It ends with the test, even one that aborts, and holds none of the test's output
        // pipes (a runner waits for those to close).
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::dup2(highLocal, 3);
        ::dup2(highTcp, 4);
        long v = ::getpid();
        char digits[20];
        int n = 0;
        do
            digits[n++] = char('0' + v % 10);
        while ((v /= 10) > 0);
        for (int i = 0; i < n; ++i)
            pidSlot[i] = digits[n - 1 - i];
        pidSlot[n] = 0;
        const char* argv[] = {"cupsd",           "-l",   "-c", confFile.c_str(), "-s",
                              filesFile.c_str(), nullptr};
        ::execve(cupsd.c_str(), const_cast<char* const*>(argv), envp.data());
        ::_exit(127);
    }
    // Only the scheduler holds the sockets now: if it dies, clients are refused at once.
    ::close(highLocal);
    ::close(highTcp);
    if (pid < 0)
        return "cannot fork";
    m_pid = pid;
    return {};
}

void PrivateCupsd::stop() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        // Waits for it to end, at most ten seconds, then kills it.
        const int pidfd = int(::syscall(SYS_pidfd_open, m_pid, 0));
        pollfd p{pidfd, POLLIN, 0};
        if (pidfd < 0 || ::poll(&p, 1, 10000) != 1)
            ::kill(m_pid, SIGKILL);
        if (pidfd >= 0)
            ::close(pidfd);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = 0;
    }
    if (!m_dir.empty()) {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
        m_dir.clear();
    }
}

std::string PrivateCupsd::logTail() const {
    std::ifstream in(m_dir + "/log/error_log");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return all.size() > 3000 ? all.substr(all.size() - 3000) : all;
}

std::optional<PrivateCupsd::Job> PrivateCupsd::collect(const std::string& queue,
                                                       const std::function<void()>& print,
                                                       std::chrono::seconds limit) {
    // Open before the job exists: the scheduler's open of the FIFO waits for a reader.
    const int fd = ::open(fifoOf(m_dir, queue).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    // A finished job keeps only some of its attributes: they are read while it waits.
    Job job;
    const bool paused = queueRequest(IPP_OP_PAUSE_PRINTER, queue);
    print();
    if (paused)
        job.attributes = newestJob(queue);
    if (!paused || !queueRequest(IPP_OP_RESUME_PRINTER, queue)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string& bytes = job.output;
    bool done = false;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        // Until a writer has come and gone, a FIFO reports no hang-up: poll waits for data.
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0)
            continue;
        char buf[65536];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            bytes.append(buf, size_t(n));
        else if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            done = true;
    }
    ::close(fd);
    if (!done)
        return std::nullopt;
    return job;
}

namespace {

http_t* connectTo(const std::string& socket) {
    http_t* http = httpConnect2(socket.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED,
                                1, 5000, nullptr);
    if (http)
        httpSetTimeout(http, 10.0, nullptr, nullptr);
    return http;
}

std::string queueUri(const std::string& queue) {
    char uri[1024];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0,
                     "/printers/%s", queue.c_str());
    return uri;
}

} // namespace

bool PrivateCupsd::queueRequest(ipp_op_t op, const std::string& queue) const {
    http_t* http = connectTo(m_socket);
    if (!http)
        return false;
    ipp_t* request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 queueUri(queue).c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    ippDelete(cupsDoRequest(http, request, "/admin/"));
    const bool ok = cupsLastError() <= IPP_STATUS_OK_CONFLICTING;
    httpClose(http);
    return ok;
}

std::map<std::string, std::string> PrivateCupsd::newestJob(const std::string& queue) const {
    std::map<std::string, std::string> out;
    http_t* http = connectTo(m_socket);
    if (!http)
        return out;
    const std::string uri = queueUri(queue);
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOBS);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "all");
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "all");
    ipp_t* response = cupsDoRequest(http, request, "/");
    // The jobs come in groups; the newest has the highest id.
    int newest = 0;
    std::map<std::string, std::string> job;
    auto flush = [&] {
        const auto id = job.find("job-id");
        if (id != job.end() && std::atoi(id->second.c_str()) > newest) {
            newest = std::atoi(id->second.c_str());
            out = job;
        }
        job.clear();
    };
    for (ipp_attribute_t* a = response ? ippFirstAttribute(response) : nullptr; a;
         a = ippNextAttribute(response)) {
        if (!ippGetName(a)) {
            flush();
            continue;
        }
        if (ippGetGroupTag(a) != IPP_TAG_JOB)
            continue;
        char text[2048];
        ippAttributeString(a, text, sizeof text);
        job[ippGetName(a)] = text;
    }
    flush();
    ippDelete(response);
    httpClose(http);
    return out;
}

} // namespace tavimo::testing
