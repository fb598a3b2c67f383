#include "viewer/cInet.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "platform/inet/wininet.h"
#include "platform/win/message_loop.h"

namespace tavimo {

namespace {

constexpr const char* kAgent = "quennet";
constexpr int32_t kMaxPiece = 1 << 20;

const std::map<int32_t, const char*>& internetMessages() {
    static const std::map<int32_t, const char*> m = {
        {12001, "No more handles could be generated at this time"},
        {12002, "The request has timed out."},
        {12003, "An extended error was returned from the server. This is typically a string "
                "or buffer containing a verbose error message. Call "
                "InternetGetLastResponseInfo to retrieve the error text."},
        {12004, "An internal error has occurred."},
        {12005, "The URL is invalid."},
        {12006, "The URL scheme could not be recognized, or is not supported."},
        {12007, "The server name could not be resolved."},
        {12008, "The requested protocol could not be located."},
        {12009, "A request to InternetQueryOption or InternetSetOption specified an invalid "
                "option value."},
        {12010, "The length of an option supplied to InternetQueryOption or InternetSetOption "
                "is incorrect for the type of option specified."},
        {12011, "The request option can not be set, only queried."},
        {12012, "The Win32 Internet support is being shut down or unloaded."},
        {12013, "The request to connect and log on to an FTP server could not be completed "
                "because the supplied user name is incorrect."},
        {12014, "The request to connect and log on to an FTP server could not be completed "
                "because the supplied password is incorrect."},
        {12015, "The request to connect to and log on to an FTP server failed."},
        {12016, "The requested operation is invalid."},
        {12017, "The operation was canceled, usually because the handle on which the request "
                "was operating was closed before the operation completed."},
        {12018, "The type of handle supplied is incorrect for this operation."},
        {12019, "The requested operation can not be carried out because the handle supplied "
                "is not in the correct state."},
        {12020, "The request can not be made via a proxy."},
        {12021, "A required registry value could not be located."},
        {12022, "A required registry value was located but is an incorrect type or has an "
                "invalid value."},
        {12023, "Direct network access cannot be made at this time."},
        {12024, "An asynchronous request could not be made because a zero context value was "
                "supplied."},
        {12025, "An asynchronous request could not be made because a callback function has "
                "not been set."},
        {12026, "The required operation could not be completed because one or more requests "
                "are pending."},
        {12027, "The format of the request is invalid."},
        {12028, "The requested item could not be located."},
        {12029, "The attempt to connect to the server failed."},
        {12030, "The connection with the server has been terminated."},
        {12031, "The connection with the server has been reset."},
        {12032, "Calls for the Win32 Internet function to redo the request."},
        {12033, "The request to the proxy was invalid."},
        {12036, "The request failed because the handle already exists."},
        {12037, "SSL certificate date that was received from the server is bad. The "
                "certificate is expired."},
        {12038, "SSL certificate common name (host name field) is incorrect: the name of the "
                "server that was asked for differs from the name the certificate was issued "
                "to."},
        {12039, "The application is moving from a non-SSL to an SSL connection because of a "
                "redirect."},
        {12040, "The application is moving from an SSL to an non-SSL connection because of a "
                "redirect."},
        {12041, "Indicates that the content is not entirely secure. Some of the content being "
                "viewed may have come from unsecured servers."},
        {12042, "The application is posting and attempting to change multiple lines of text "
                "on a server that is not secure."},
        {12043, "The application is posting data to a server that is not secure."},
        {12110, "The requested operation can not be made on the FTP session handle because "
                "an operation is already in progress."},
        {12111, "The FTP operation was not completed because the session was aborted."},
        {12130, "An error was detected while parsing data returned from the gopher server."},
        {12131, "The request must be made for a file locator."},
        {12132, "An error was detected while receiving data from the gopher server."},
        {12133, "The end of the data has been reached."},
        {12134, "The supplied locator is not valid."},
        {12135, "The type of the locator is not correct for this operation."},
        {12136, "The requested operation can only be made against a Gopher+ server or with a "
                "locator that specifies a Gopher+ operation."},
        {12137, "The requested attribute could not be located."},
        {12138, "The locator type is unknown."},
        {12150, "The requested header could not be located."},
        {12151, "The server did not return any headers."},
        {12152, "The server response could not be parsed."},
        {12153, "The supplied header is invalid."},
        {12154, "The request made to HttpQueryInfo is invalid."},
        {12155, "The header could not be added because it already exists."},
        {12156, "The redirection failed because either the scheme changed (for example, HTTP "
                "to FTP) or all attempts made to redirect failed (default is five attempts)."},
    };
    return m;
}

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

} // namespace

cInet::cInet() {
    m_hInternet = inet::InternetOpenA(kAgent, inet::INTERNET_OPEN_TYPE_PRECONFIG, "", "", 0);
    if (m_hInternet == 0)
        noteError();
}

cInet::~cInet() {
    if (m_hInternet != 0)
        inet::InternetCloseHandle(m_hInternet);
}

void cInet::noteError() {
    m_lastError = inet::GetLastError();
}

void cInet::BufferSize(int32_t size) {
    if (size >= 1)
        m_BufferSize = size;
}

int32_t cInet::connect(const std::string& host, int32_t port, const std::string& user,
                       const std::string& password, uint32_t service, uint32_t flags) {
    if (port < 0 || port > 65535) {
        m_lastError = inet::ERROR_INVALID_PARAMETER;
        m_hSession = 0;
        return 0;
    }
    m_hSession = inet::InternetConnectA(m_hInternet, host, static_cast<uint16_t>(port), user,
                                        password, service, flags, 0);
    if (m_hSession == 0)
        noteError();
    return static_cast<int32_t>(m_hSession);
}

int32_t cInet::Request(const std::string& sAction, const std::string& sHost,
                       const std::string& sDirAndFile, int32_t ePort, int32_t eService) {
    try {
        m_hRequest = 0;
        if (connect(sHost, ePort, "", "", static_cast<uint32_t>(eService), 0) == 0)
            return 0;
        // TLS certificates are checked in full, their names included: skipping the name
        // check would accept any valid certificate of any other server.
        uint32_t flags = 0;
        if (sAction == "GET")
            flags = ePort == 443 ? inet::INTERNET_FLAG_SECURE : inet::INTERNET_FLAG_RELOAD;
        else if (sAction == "PUT")
            flags = ePort == 443 ? inet::INTERNET_FLAG_NO_CACHE_WRITE | inet::INTERNET_FLAG_SECURE
                                 : inet::INTERNET_FLAG_NO_CACHE_WRITE;
        m_hRequest =
            inet::HttpOpenRequestA(m_hSession, sAction, sDirAndFile, "HTTP/1.0", "", flags, 0);
        if (m_hRequest == 0)
            noteError();
        return static_cast<int32_t>(m_hRequest);
    } catch (...) {
        return 0;
    }
}

int32_t cInet::FtpOpenSession(const std::string& sHost, int32_t port, const std::string& login,
                              const std::string& password) {
    try {
        return connect(sHost, port, login, password, inet::INTERNET_SERVICE_FTP,
                       bFtpPassiveMode ? inet::INTERNET_FLAG_PASSIVE : 0);
    } catch (...) {
        return 0;
    }
}

int16_t cInet::SendRequest(const std::string& sHeaders, const std::string& data) {
    try {
        bool ok = inet::HttpSendRequestA(m_hRequest, sHeaders, data.data(),
                                         static_cast<uint32_t>(data.size()));
        if (!ok)
            noteError();
        m_sendResult = ok ? 1 : 0;
        return m_sendResult;
    } catch (...) {
        return m_sendResult = 0;
    }
}

int16_t cInet::QueryInfo(int32_t level, std::string& sBuffer, int32_t& lBuffer) {
    try {
        uint32_t lv = static_cast<uint32_t>(level);
        auto missing = [&] {
            noteError();
            return m_lastError == inet::ERROR_HTTP_HEADER_NOT_FOUND;
        };
        if (lv & 0x80000000u) {
            std::string room(sBuffer.size() + 1, '\0');
            uint32_t len = static_cast<uint32_t>(room.size());
            if (!inet::HttpQueryInfoA(m_hRequest, lv, room.data(), len)) {
                if (!missing())
                    return 0;
                sBuffer.clear();
                return 1;
            }
            sBuffer.assign(room.data(), len);
            return 1;
        }
        if (lv & inet::HTTP_QUERY_FLAG_NUMBER) {
            uint32_t value = 0;
            uint32_t len = sizeof value;
            if (!inet::HttpQueryInfoA(m_hRequest, lv, &value, len)) {
                if (!missing())
                    return 0;
                lBuffer = 0;
                return 1;
            }
            // The number lands in a signed Long, as the caller declared it.
            lBuffer = static_cast<int32_t>(value);
            return 1;
        }
        if ((lv & 0x10000000u) == 0 && (lv & 0xBu) == 0xBu) {
            inet::SYSTEMTIME st{};
            uint32_t len = sizeof st;
            if (!inet::HttpQueryInfoA(m_hRequest, lv | inet::HTTP_QUERY_FLAG_SYSTEMTIME, &st,
                                      len)) {
                if (!missing())
                    return 0;
                sBuffer.clear();
                return 1;
            }
            sBuffer = std::to_string(st.wYear) + " " + std::to_string(st.wMonth) + " " +
                      std::to_string(st.wDayOfWeek) + " " + std::to_string(st.wDay) + " " +
                      std::to_string(st.wHour) + " " + std::to_string(st.wMinute) + " " +
                      std::to_string(st.wSecond) + " " + std::to_string(st.wMilliseconds);
            return 1;
        }
        return 0;
    } catch (...) {
        return 0;
    }
}

bool cInet::ReadArray(std::vector<uint8_t>& arBytes, int32_t total) {
    bStopReadArray = false;
    try {
        arBytes.clear();
        if (total < 1)
            return false;
        // The array grows with what arrives rather than being sized from the announced
        // length up front, so a server that claims a huge body costs nothing until it
        // sends it.
        int32_t remaining = total;
        bool readOk = true;
        for (;;) {
            // A chunk is read in pieces of bounded size, so a huge buffer size does not
            // allocate more than what arrives either.
            int32_t chunk = std::min(m_BufferSize, remaining);
            int32_t got = 0;
            while (got < chunk) {
                int32_t piece = std::min(chunk - got, kMaxPiece);
                size_t at = arBytes.size();
                arBytes.resize(at + static_cast<size_t>(piece));
                uint32_t n = 0;
                readOk = inet::InternetReadFile(m_hRequest, arBytes.data() + at,
                                                static_cast<uint32_t>(piece), n);
                if (!readOk)
                    noteError();
                arBytes.resize(at + n);
                got += static_cast<int32_t>(n);
                if (!readOk || n == 0)
                    break;
            }
            remaining -= got;
            if (got > 0) {
                int32_t percent = static_cast<int32_t>(
                    std::floor(static_cast<double>(remaining) / total * 100.0));
                if (PacketReceieved)
                    PacketReceieved(percent, remaining, total);
                win::DoEvents();
            }
            if (!readOk || got < 1 || remaining < 1 || bStopReadArray)
                break;
        }
        return !bStopReadArray && readOk && remaining == 0;
    } catch (...) {
        return false;
    }
}

std::string cInet::TranslateErrorCode(int32_t code) {
    try {
        auto& m = internetMessages();
        if (auto it = m.find(code); it != m.end())
            return it->second;
        std::string system = trimmed(inet::SystemErrorText(static_cast<uint32_t>(code)));
        return system.empty() ? "Unknown Error" : system;
    } catch (...) {
        return "Unknown Error";
    }
}

} // namespace tavimo
