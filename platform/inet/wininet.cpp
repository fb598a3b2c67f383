#include "platform/inet/wininet.h"

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <vector>

#include <sys/stat.h>

#include "platform/win/handles.h"

namespace inet {

namespace {

constexpr uint32_t ERROR_HTTP_INVALID_HEADER = 12153;
constexpr uint32_t ERROR_DISK_FULL = 112;
constexpr long kConnectTimeoutSeconds = 30;
// A transfer that moves no byte for this long is given up (the server has gone quiet).
constexpr long kStallSeconds = 60;
constexpr long kMaxRedirects = 10;
// Body bytes already read by the caller are dropped from the front of the buffer once
// this many have gathered.
constexpr size_t kCompactThreshold = 64 * 1024;

thread_local uint32_t t_lastError = 0;

bool fail(uint32_t code) {
    t_lastError = code;
    return false;
}

void globalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
using EasyPtr = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;

uint32_t mapCurlError(CURLcode code) {
    switch (code) {
    case CURLE_OK:
        return 0;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_URL_MALFORMAT:
        return ERROR_INTERNET_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
        return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT:
        return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT:
        return ERROR_INTERNET_TIMEOUT;
    case CURLE_LOGIN_DENIED:
        return ERROR_INTERNET_LOGIN_FAILURE;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_TOO_MANY_REDIRECTS:
        return ERROR_HTTP_REDIRECT_FAILED;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_PEER_FAILED_VERIFICATION:
        return ERROR_INTERNET_INVALID_CA;
    case CURLE_SSL_CONNECT_ERROR:
        return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    case CURLE_OUT_OF_MEMORY:
        return ERROR_NOT_ENOUGH_MEMORY;
    case CURLE_WRITE_ERROR:
        return ERROR_WRITE_FAULT;
    case CURLE_ABORTED_BY_CALLBACK:
        return ERROR_INTERNET_OPERATION_CANCELLED;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_FTP_PORT_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_QUOTE_ERROR:
        // Server refusals: the server's reply carries the reason.
        return ERROR_INTERNET_EXTENDED_ERROR;
    default:
        return ERROR_INTERNET_INTERNAL_ERROR;
    }
}

// Host names, IPv4 addresses and IPv6 literals (with or without brackets); anything else
// could smuggle a path, credentials or a second URL into the one we build.
bool validServerName(const std::string& name, std::string& forUrl) {
    if (name.empty() || name.size() > 253)
        return false;
    std::string bare = name;
    if (bare.front() == '[') {
        if (bare.size() < 3 || bare.back() != ']')
            return false;
        bare = bare.substr(1, bare.size() - 2);
    }
    bool colon = false;
    for (unsigned char ch : bare) {
        if (ch == ':')
            colon = true;
        else if (!(std::isalnum(ch) || ch == '-' || ch == '.' || ch == '_'))
            return false;
    }
    if (bare.empty())
        return false;
    forUrl = colon ? "[" + bare + "]" : bare;
    return true;
}

bool hasControlChars(const std::string& s) {
    return std::any_of(s.begin(), s.end(),
                       [](unsigned char ch) { return ch < 0x20 || ch == 0x7F; });
}

// Percent-encodes what a URL path cannot carry as it is. "%" stays, so a caller's own
// escapes go through unchanged; "/" and "?" keep their meaning.
std::string encodePath(const std::string& path, bool keepQuery) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : path) {
        bool keep = std::isalnum(ch) || std::strchr("-._~/%!$&'()*+,;=:@", ch) != nullptr ||
                    (keepQuery && ch == '?');
        if (ch == 0)
            keep = false;
        if (keep) {
            out += static_cast<char>(ch);
        } else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out;
}

// FTP paths are taken literally, so "%" is encoded too.
std::string encodeFtpPath(const std::string& path) {
    std::string out;
    static const char* hex = "0123456789ABCDEF";
    for (unsigned char ch : path) {
        if (std::isalnum(ch) || std::strchr("-._~/!$&'()*+,;=:@", ch) != nullptr) {
            out += static_cast<char>(ch);
        } else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool iequals(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

struct Request {
    ~Request() {
        if (multi) {
            if (added)
                curl_multi_remove_handle(multi, easy.get());
            curl_multi_cleanup(multi);
        }
    }

    EasyPtr easy;
    CURLM* multi = nullptr;
    bool added = false;
    SlistPtr headerList;
    std::string postData;
    std::string verb;
    bool follow = true;

    bool sent = false;
    bool headersDone = false;
    bool done = false;
    CURLcode result = CURLE_OK;

    long statusCode = 0;
    std::string statusText;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string rawHeaders;

    std::string body;
    size_t bodyPos = 0;
};

struct Object {
    enum class Type { Session, Connect, Request } type = Type::Session;
    HINTERNET parent = 0;
    std::vector<HINTERNET> children;

    // Session.
    std::string agent;
    uint32_t accessType = 0;

    // Connection.
    std::string server; // as it goes in a URL
    uint16_t port = 0;
    std::string user, password;
    uint32_t service = 0;
    uint32_t flags = 0;
    EasyPtr ftp; // the logged-on FTP connection, reused for downloads

    // Request.
    std::unique_ptr<Request> request;
};

win::HandleTable<Object>& table() {
    thread_local win::HandleTable<Object> t(win::HandleKind::Internet);
    return t;
}

Object* lookup(HINTERNET h, Object::Type type) {
    Object* o = table().get(h);
    if (!o) {
        fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (o->type != type) {
        fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return o;
}

HINTERNET addChild(HINTERNET parent, std::unique_ptr<Object> obj) {
    obj->parent = parent;
    HINTERNET h = table().add(std::move(obj));
    if (Object* p = table().get(parent))
        p->children.push_back(h);
    return h;
}

void applyCommon(CURL* c, const Object& session) {
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    if (!session.agent.empty())
        curl_easy_setopt(c, CURLOPT_USERAGENT, session.agent.c_str());
    if (session.accessType == INTERNET_OPEN_TYPE_DIRECT)
        curl_easy_setopt(c, CURLOPT_PROXY, "");
}

// --- HTTP callbacks ---

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Request*>(user);
    size_t n = size * count;
    std::string line(data, n);
    if (line.rfind("HTTP/", 0) == 0) {
        // A new response (an interim one, a redirect's target): start over.
        r->headers.clear();
        r->rawHeaders.clear();
        r->statusCode = 0;
        r->statusText.clear();
        size_t sp = line.find(' ');
        if (sp != std::string::npos) {
            std::string rest = trim(line.substr(sp + 1));
            size_t sp2 = rest.find(' ');
            std::string code = rest.substr(0, sp2);
            r->statusCode = std::strtol(code.c_str(), nullptr, 10);
            r->statusText = sp2 == std::string::npos ? std::string() : trim(rest.substr(sp2 + 1));
        }
        r->rawHeaders += trim(line) + "\r\n";
        return n;
    }
    std::string t = trim(line);
    if (t.empty()) {
        bool interim = r->statusCode >= 100 && r->statusCode < 200;
        bool redirect = false;
        if (r->follow) {
            long c = r->statusCode;
            if (c == 301 || c == 302 || c == 303 || c == 307 || c == 308) {
                for (auto& [name, value] : r->headers)
                    if (iequals(name, "Location") && !value.empty())
                        redirect = true;
            }
        }
        if (!interim && !redirect)
            r->headersDone = true;
        r->rawHeaders += "\r\n";
        return n;
    }
    size_t colon = t.find(':');
    if (colon != std::string::npos)
        r->headers.emplace_back(trim(t.substr(0, colon)), trim(t.substr(colon + 1)));
    r->rawHeaders += t + "\r\n";
    return n;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* r = static_cast<Request*>(user);
    size_t n = size * count;
    try {
        r->headersDone = true;
        r->body.append(data, n);
    } catch (...) {
        return 0; // out of memory: curl ends the transfer with a write error
    }
    return n;
}

// Drives the transfer until `ready` holds or the transfer has ended.
template <class Pred> void drive(Request& r, Pred ready) {
    while (!ready() && !r.done) {
        int running = 0;
        CURLMcode mc = curl_multi_perform(r.multi, &running);
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(r.multi, &left)) {
            if (msg->msg == CURLMSG_DONE) {
                r.done = true;
                r.result = msg->data.result;
            }
        }
        if (mc != CURLM_OK && !r.done) {
            r.done = true;
            r.result = CURLE_OUT_OF_MEMORY;
        }
        if (!r.done && running == 0) {
            r.done = true; // ended without a message; treat as a complete transfer
        }
        if (!ready() && !r.done)
            curl_multi_poll(r.multi, nullptr, 0, 1000, nullptr);
    }
}

const char* headerNameFor(uint32_t level) {
    switch (level) {
    case 0:
        return "MIME-Version";
    case HTTP_QUERY_CONTENT_TYPE:
        return "Content-Type";
    case 2:
        return "Content-Transfer-Encoding";
    case 3:
        return "Content-ID";
    case 4:
        return "Content-Description";
    case HTTP_QUERY_CONTENT_LENGTH:
        return "Content-Length";
    case 6:
        return "Content-Language";
    case 7:
        return "Allow";
    case 8:
        return "Public";
    case HTTP_QUERY_DATE:
        return "Date";
    case HTTP_QUERY_EXPIRES:
        return "Expires";
    case HTTP_QUERY_LAST_MODIFIED:
        return "Last-Modified";
    case HTTP_QUERY_LOCATION:
        return "Location";
    case 37:
        return "Server";
    case 29:
        return "Content-Encoding";
    case 44:
        return "Cache-Control";
    case 49:
        return "Connection";
    case 58:
        return "ETag";
    case 63:
        return "Transfer-Encoding";
    default:
        return nullptr;
    }
}

bool parseHttpDate(const std::string& text, SYSTEMTIME& st) {
    std::tm tm{};
    const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S", &tm);
    if (!end)
        end = strptime(text.c_str(), "%A, %d-%b-%y %H:%M:%S", &tm);
    if (!end)
        return false;
    time_t t = timegm(&tm);
    std::tm norm{};
    gmtime_r(&t, &norm);
    st.wYear = static_cast<uint16_t>(norm.tm_year + 1900);
    st.wMonth = static_cast<uint16_t>(norm.tm_mon + 1);
    st.wDayOfWeek = static_cast<uint16_t>(norm.tm_wday);
    st.wDay = static_cast<uint16_t>(norm.tm_mday);
    st.wHour = static_cast<uint16_t>(norm.tm_hour);
    st.wMinute = static_cast<uint16_t>(norm.tm_min);
    st.wSecond = static_cast<uint16_t>(norm.tm_sec);
    st.wMilliseconds = 0;
    return true;
}

void closeTree(HINTERNET h) {
    std::unique_ptr<Object> o = table().take(h);
    if (!o)
        return;
    for (HINTERNET child : o->children)
        closeTree(child);
}

} // namespace

uint32_t GetLastError() {
    return t_lastError;
}

void SetLastError(uint32_t code) {
    t_lastError = code;
}

size_t OpenHandleCount() {
    return table().size();
}

HINTERNET InternetOpenA(const std::string& agent, uint32_t accessType, const std::string& proxy,
                        const std::string& proxyBypass, uint32_t) {
    try {
        if ((accessType != INTERNET_OPEN_TYPE_PRECONFIG &&
             accessType != INTERNET_OPEN_TYPE_DIRECT) ||
            !proxy.empty() || !proxyBypass.empty() || hasControlChars(agent))
            return fail(ERROR_INVALID_PARAMETER), 0;
        globalInit();
        auto obj = std::make_unique<Object>();
        obj->type = Object::Type::Session;
        obj->agent = agent;
        obj->accessType = accessType;
        return table().add(std::move(obj));
    } catch (...) {
        return fail(ERROR_NOT_ENOUGH_MEMORY), 0;
    }
}

HINTERNET InternetConnectA(HINTERNET internet, const std::string& serverName, uint16_t port,
                           const std::string& userName, const std::string& password,
                           uint32_t service, uint32_t flags, uintptr_t) {
    try {
        Object* session = lookup(internet, Object::Type::Session);
        if (!session)
            return 0;
        if (service != INTERNET_SERVICE_HTTP && service != INTERNET_SERVICE_FTP)
            return fail(ERROR_INVALID_PARAMETER), 0;
        std::string host;
        if (!validServerName(serverName, host))
            return fail(ERROR_INTERNET_INVALID_URL), 0;
        // A line break in a name would start a second FTP command.
        if (hasControlChars(userName) || hasControlChars(password))
            return fail(ERROR_INVALID_PARAMETER), 0;

        auto obj = std::make_unique<Object>();
        obj->type = Object::Type::Connect;
        obj->server = host;
        obj->port = port;
        obj->user = userName;
        obj->password = password;
        obj->service = service;
        obj->flags = flags;

        if (service == INTERNET_SERVICE_FTP) {
            // Log on now, so a server that is missing or refuses us fails here.
            EasyPtr c(curl_easy_init());
            if (!c)
                return fail(ERROR_NOT_ENOUGH_MEMORY), 0;
            applyCommon(c.get(), *session);
            std::string url = "ftp://" + host + ":" + std::to_string(port == 0 ? 21 : port) + "/";
            curl_easy_setopt(c.get(), CURLOPT_URL, url.c_str());
            curl_easy_setopt(c.get(), CURLOPT_PROTOCOLS_STR, "ftp");
            // A body-less request logs on and leaves the connection in the handle's cache
            // for the downloads that follow.
            curl_easy_setopt(c.get(), CURLOPT_NOBODY, 1L);
            if (!userName.empty()) {
                curl_easy_setopt(c.get(), CURLOPT_USERNAME, userName.c_str());
                curl_easy_setopt(c.get(), CURLOPT_PASSWORD, password.c_str());
            }
            CURLcode rc = curl_easy_perform(c.get());
            if (rc != CURLE_OK)
                return fail(mapCurlError(rc)), 0;
            obj->ftp = std::move(c);
        }
        return addChild(internet, std::move(obj));
    } catch (...) {
        return fail(ERROR_NOT_ENOUGH_MEMORY), 0;
    }
}

HINTERNET HttpOpenRequestA(HINTERNET connect, const std::string& verb,
                           const std::string& objectName, const std::string& version,
                           const std::string&, uint32_t flags, uintptr_t) {
    try {
        Object* conn = lookup(connect, Object::Type::Connect);
        if (!conn)
            return 0;
        if (conn->service != INTERNET_SERVICE_HTTP)
            return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE), 0;
        Object* session = table().get(conn->parent);
        if (!session)
            return fail(ERROR_INVALID_HANDLE), 0;
        std::string method = verb.empty() ? "GET" : verb;
        bool token = std::all_of(method.begin(), method.end(), [](unsigned char ch) {
            return std::isalnum(ch) || std::strchr("!#$%&'*+-.^_`|~", ch) != nullptr;
        });
        if (!token || hasControlChars(objectName))
            return fail(ERROR_INVALID_PARAMETER), 0;

        auto req = std::make_unique<Request>();
        req->easy.reset(curl_easy_init());
        req->multi = curl_multi_init();
        if (!req->easy || !req->multi)
            return fail(ERROR_NOT_ENOUGH_MEMORY), 0;
        CURL* c = req->easy.get();
        applyCommon(c, *session);

        bool secure = (flags & INTERNET_FLAG_SECURE) != 0;
        uint16_t port = conn->port != 0 ? conn->port : (secure ? 443 : 80);
        std::string path = objectName.empty() ? "/" : objectName;
        if (path.front() != '/')
            path = "/" + path;
        std::string url = std::string(secure ? "https://" : "http://") + conn->server + ":" +
                          std::to_string(port) + encodePath(path, true);
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
        if (secure && (flags & INTERNET_FLAG_IGNORE_CERT_CN_INVALID))
            curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 0L);
        if (version == "HTTP/1.0")
            curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
        else
            curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
        if (!conn->user.empty()) {
            curl_easy_setopt(c, CURLOPT_USERNAME, conn->user.c_str());
            curl_easy_setopt(c, CURLOPT_PASSWORD, conn->password.c_str());
        }
        if (method == "HEAD")
            curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
        else if (method != "GET")
            curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.c_str());
        req->verb = method;
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, req.get());
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onBody);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, req.get());

        auto obj = std::make_unique<Object>();
        obj->type = Object::Type::Request;
        obj->request = std::move(req);
        return addChild(connect, std::move(obj));
    } catch (...) {
        return fail(ERROR_NOT_ENOUGH_MEMORY), 0;
    }
}

bool HttpSendRequestA(HINTERNET request, const std::string& headers, const void* optional,
                      uint32_t optionalLength) {
    try {
        Object* o = lookup(request, Object::Type::Request);
        if (!o)
            return false;
        Request& r = *o->request;
        if (r.sent)
            return fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        CURL* c = r.easy.get();
        // Extra header lines, one per CRLF-separated line; blank lines are skipped.
        size_t start = 0;
        curl_slist* list = nullptr;
        while (start <= headers.size()) {
            size_t end = headers.find('\n', start);
            std::string line = trim(
                headers.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (!line.empty()) {
                if (line.find(':') == std::string::npos || hasControlChars(line)) {
                    curl_slist_free_all(list);
                    return fail(ERROR_INVALID_PARAMETER);
                }
                curl_slist* next = curl_slist_append(list, line.c_str());
                if (!next) {
                    curl_slist_free_all(list);
                    return fail(ERROR_NOT_ENOUGH_MEMORY);
                }
                list = next;
            }
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        r.headerList.reset(list);
        if (list)
            curl_easy_setopt(c, CURLOPT_HTTPHEADER, list);
        if (optional && optionalLength > 0) {
            r.postData.assign(static_cast<const char*>(optional), optionalLength);
            curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(r.postData.size()));
            curl_easy_setopt(c, CURLOPT_POSTFIELDS, r.postData.data());
            // POSTFIELDS switches the verb to POST; keep the one asked for.
            if (r.verb != "POST")
                curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, r.verb.c_str());
        }
        if (curl_multi_add_handle(r.multi, c) != CURLM_OK)
            return fail(ERROR_INTERNET_INTERNAL_ERROR);
        r.added = true;
        r.sent = true;
        drive(r, [&] { return r.headersDone; });
        if (!r.headersDone) {
            if (r.result != CURLE_OK)
                return fail(mapCurlError(r.result));
            if (r.statusCode == 0)
                return fail(ERROR_HTTP_INVALID_SERVER_RESPONSE);
            r.headersDone = true;
        }
        return true;
    } catch (...) {
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

bool HttpQueryInfoA(HINTERNET request, uint32_t infoLevel, void* buffer, uint32_t& bufferLength,
                    uint32_t*) {
    try {
        Object* o = lookup(request, Object::Type::Request);
        if (!o)
            return false;
        Request& r = *o->request;
        if (!r.sent || !r.headersDone)
            return fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        if (infoLevel & HTTP_QUERY_FLAG_REQUEST_HEADERS)
            return fail(ERROR_HTTP_HEADER_NOT_FOUND);
        uint32_t level = infoLevel & ~HTTP_QUERY_MODIFIER_MASK;
        std::string text;
        if (level == HTTP_QUERY_STATUS_CODE) {
            text = std::to_string(r.statusCode);
        } else if (level == HTTP_QUERY_STATUS_TEXT) {
            text = r.statusText;
        } else if (level == HTTP_QUERY_RAW_HEADERS_CRLF) {
            text = r.rawHeaders;
        } else {
            const char* name = headerNameFor(level);
            if (!name)
                return fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
            bool found = false;
            for (auto& [n, v] : r.headers)
                if (iequals(n, name)) {
                    text = v;
                    found = true;
                    break;
                }
            if (!found)
                return fail(ERROR_HTTP_HEADER_NOT_FOUND);
        }

        if (infoLevel & HTTP_QUERY_FLAG_NUMBER) {
            if (!buffer || bufferLength < sizeof(uint32_t)) {
                bufferLength = sizeof(uint32_t);
                return fail(ERROR_INSUFFICIENT_BUFFER);
            }
            std::string t = trim(text);
            if (t.empty() || t.size() > 10 ||
                !std::all_of(t.begin(), t.end(), [](unsigned char ch) { return std::isdigit(ch); }))
                return fail(ERROR_HTTP_INVALID_HEADER);
            unsigned long long v = std::strtoull(t.c_str(), nullptr, 10);
            if (v > 0xFFFFFFFFull)
                return fail(ERROR_HTTP_INVALID_HEADER);
            uint32_t value = static_cast<uint32_t>(v);
            std::memcpy(buffer, &value, sizeof value);
            bufferLength = sizeof value;
            return true;
        }
        if (infoLevel & HTTP_QUERY_FLAG_SYSTEMTIME) {
            if (!buffer || bufferLength < sizeof(SYSTEMTIME)) {
                bufferLength = sizeof(SYSTEMTIME);
                return fail(ERROR_INSUFFICIENT_BUFFER);
            }
            SYSTEMTIME st{};
            if (!parseHttpDate(text, st))
                return fail(ERROR_HTTP_INVALID_HEADER);
            std::memcpy(buffer, &st, sizeof st);
            bufferLength = sizeof st;
            return true;
        }
        if (!buffer || bufferLength < text.size() + 1) {
            bufferLength = static_cast<uint32_t>(text.size() + 1);
            return fail(ERROR_INSUFFICIENT_BUFFER);
        }
        std::memcpy(buffer, text.data(), text.size());
        static_cast<char*>(buffer)[text.size()] = '\0';
        bufferLength = static_cast<uint32_t>(text.size());
        return true;
    } catch (...) {
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

bool InternetReadFile(HINTERNET file, void* buffer, uint32_t toRead, uint32_t& bytesRead) {
    bytesRead = 0;
    try {
        Object* o = lookup(file, Object::Type::Request);
        if (!o)
            return false;
        Request& r = *o->request;
        if (!r.sent)
            return fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        if (toRead == 0)
            return true;
        if (!buffer)
            return fail(ERROR_INVALID_PARAMETER);
        drive(r, [&] { return r.body.size() - r.bodyPos >= toRead; });
        size_t available = r.body.size() - r.bodyPos;
        size_t n = std::min<size_t>(available, toRead);
        if (n == 0) {
            // Everything delivered; a transfer that broke off says so now.
            if (r.result != CURLE_OK)
                return fail(mapCurlError(r.result));
            return true;
        }
        std::memcpy(buffer, r.body.data() + r.bodyPos, n);
        r.bodyPos += n;
        if (r.bodyPos >= kCompactThreshold && r.bodyPos * 2 >= r.body.size()) {
            r.body.erase(0, r.bodyPos);
            r.bodyPos = 0;
        }
        bytesRead = static_cast<uint32_t>(n);
        return true;
    } catch (...) {
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

namespace {
size_t onFileData(char* data, size_t size, size_t count, void* user) {
    return std::fwrite(data, size, count, static_cast<FILE*>(user)) * size;
}
} // namespace

bool FtpGetFileA(HINTERNET connect, const std::string& remoteFile, const std::string& localFile,
                 bool failIfExists, uint32_t, uint32_t, uintptr_t) {
    try {
        Object* conn = lookup(connect, Object::Type::Connect);
        if (!conn)
            return false;
        if (conn->service != INTERNET_SERVICE_FTP || !conn->ftp)
            return fail(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        if (remoteFile.empty() || hasControlChars(remoteFile) || localFile.empty())
            return fail(ERROR_INVALID_PARAMETER);
        struct stat st {};
        if (failIfExists && ::stat(localFile.c_str(), &st) == 0)
            return fail(ERROR_FILE_EXISTS);
        FILE* out = std::fopen(localFile.c_str(), "wb");
        if (!out)
            return fail(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);

        CURL* c = conn->ftp.get();
        std::string url = "ftp://" + conn->server + ":" +
                          std::to_string(conn->port == 0 ? 21 : conn->port) + "/" +
                          encodeFtpPath(remoteFile);
        curl_easy_setopt(c, CURLOPT_NOBODY, 0L);
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        // The path is sent as one RETR argument, as given, without changing folders.
        curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
        curl_easy_setopt(c, CURLOPT_FTPPORT, (conn->flags & INTERNET_FLAG_PASSIVE) ? nullptr : "-");
        curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onFileData);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, out);
        CURLcode rc = curl_easy_perform(c);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, nullptr);
        int closeResult = std::fclose(out);
        if (rc == CURLE_WRITE_ERROR && errno == ENOSPC)
            return fail(ERROR_DISK_FULL);
        if (rc != CURLE_OK)
            return fail(mapCurlError(rc));
        if (closeResult != 0)
            return fail(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
        return true;
    } catch (...) {
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
}

bool InternetCloseHandle(HINTERNET handle) {
    try {
        Object* o = table().get(handle);
        if (!o)
            return fail(ERROR_INVALID_HANDLE);
        if (Object* p = table().get(o->parent))
            std::erase(p->children, handle);
        closeTree(handle);
        return true;
    } catch (...) {
        return fail(ERROR_INTERNET_INTERNAL_ERROR);
    }
}

std::string SystemErrorText(uint32_t code) {
    switch (code) {
    case 0:
        return "The operation completed successfully.";
    case ERROR_FILE_NOT_FOUND:
        return "The system cannot find the file specified.";
    case 3:
        return "The system cannot find the path specified.";
    case ERROR_ACCESS_DENIED:
        return "Access is denied.";
    case ERROR_INVALID_HANDLE:
        return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "Not enough storage is available to process this command.";
    case ERROR_WRITE_FAULT:
        return "The system cannot write to the specified device.";
    case ERROR_FILE_EXISTS:
        return "The file exists.";
    case ERROR_INVALID_PARAMETER:
        return "The parameter is incorrect.";
    case ERROR_DISK_FULL:
        return "There is not enough space on the disk.";
    case ERROR_INSUFFICIENT_BUFFER:
        return "The data area passed to a system call is too small.";
    default:
        return {};
    }
}

} // namespace inet
