#pragma once

// A WinInet-like client layer over libcurl: an Internet session handle, connection handles
// per server and service, HTTP requests whose body is read in caller-sized pieces, and FTP
// file downloads. Handles are 32-bit values of the Internet handle kind; a stale or forged
// handle is refused with ERROR_INVALID_HANDLE. Every call is blocking and pumps nothing: a
// caller that wants its message loop to run does so between calls. No call throws. A
// failing call returns 0 / false and leaves its error code for GetLastError() (per
// thread); successful calls do not clear it. Handles belong to the thread that made them.

#include <cstdint>
#include <string>

namespace inet {

using HINTERNET = uint32_t;

// Access types of InternetOpenA. Preconfigured takes the proxy from the environment
// (http_proxy, https_proxy, no_proxy...); direct uses none.
inline constexpr uint32_t INTERNET_OPEN_TYPE_PRECONFIG = 0;
inline constexpr uint32_t INTERNET_OPEN_TYPE_DIRECT = 1;

// Services of InternetConnectA.
inline constexpr uint32_t INTERNET_SERVICE_FTP = 1;
inline constexpr uint32_t INTERNET_SERVICE_HTTP = 3;

// Port 0 asks for the service's default port (21 for FTP, 80 for HTTP, 443 for secure).
inline constexpr uint16_t INTERNET_DEFAULT_PORT = 0;

// Flags of InternetConnectA and HttpOpenRequestA.
inline constexpr uint32_t INTERNET_FLAG_RELOAD = 0x80000000;
inline constexpr uint32_t INTERNET_FLAG_PASSIVE = 0x08000000;
inline constexpr uint32_t INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;
inline constexpr uint32_t INTERNET_FLAG_SECURE = 0x00800000;
inline constexpr uint32_t INTERNET_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000;

// Information levels of HttpQueryInfoA: a header or item in the low 16 bits, modifiers above.
inline constexpr uint32_t HTTP_QUERY_CONTENT_TYPE = 1;
inline constexpr uint32_t HTTP_QUERY_CONTENT_LENGTH = 5;
inline constexpr uint32_t HTTP_QUERY_DATE = 9;
inline constexpr uint32_t HTTP_QUERY_EXPIRES = 10;
inline constexpr uint32_t HTTP_QUERY_LAST_MODIFIED = 11;
inline constexpr uint32_t HTTP_QUERY_STATUS_CODE = 19;
inline constexpr uint32_t HTTP_QUERY_STATUS_TEXT = 20;
inline constexpr uint32_t HTTP_QUERY_RAW_HEADERS_CRLF = 22;
inline constexpr uint32_t HTTP_QUERY_LOCATION = 33;
inline constexpr uint32_t HTTP_QUERY_FLAG_REQUEST_HEADERS = 0x80000000;
inline constexpr uint32_t HTTP_QUERY_FLAG_SYSTEMTIME = 0x40000000;
inline constexpr uint32_t HTTP_QUERY_FLAG_NUMBER = 0x20000000;
inline constexpr uint32_t HTTP_QUERY_MODIFIER_MASK = 0xFFFF0000;

// Error codes left for GetLastError().
inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr uint32_t ERROR_WRITE_FAULT = 29;
inline constexpr uint32_t ERROR_FILE_EXISTS = 80;
inline constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr uint32_t ERROR_INTERNET_TIMEOUT = 12002;
inline constexpr uint32_t ERROR_INTERNET_EXTENDED_ERROR = 12003;
inline constexpr uint32_t ERROR_INTERNET_INTERNAL_ERROR = 12004;
inline constexpr uint32_t ERROR_INTERNET_INVALID_URL = 12005;
inline constexpr uint32_t ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
inline constexpr uint32_t ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
inline constexpr uint32_t ERROR_INTERNET_LOGIN_FAILURE = 12015;
inline constexpr uint32_t ERROR_INTERNET_OPERATION_CANCELLED = 12017;
inline constexpr uint32_t ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
inline constexpr uint32_t ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
inline constexpr uint32_t ERROR_INTERNET_CANNOT_CONNECT = 12029;
inline constexpr uint32_t ERROR_INTERNET_CONNECTION_ABORTED = 12030;
inline constexpr uint32_t ERROR_INTERNET_CONNECTION_RESET = 12031;
inline constexpr uint32_t ERROR_INTERNET_SEC_CERT_CN_INVALID = 12038;
inline constexpr uint32_t ERROR_INTERNET_INVALID_CA = 12045;
inline constexpr uint32_t ERROR_INTERNET_SECURITY_CHANNEL_ERROR = 12157;
inline constexpr uint32_t ERROR_HTTP_HEADER_NOT_FOUND = 12150;
inline constexpr uint32_t ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
inline constexpr uint32_t ERROR_HTTP_INVALID_QUERY_REQUEST = 12154;
inline constexpr uint32_t ERROR_HTTP_REDIRECT_FAILED = 12156;

// The eight fields of a calendar time, as HttpQueryInfoA returns a date header.
struct SYSTEMTIME {
    uint16_t wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};

// A new Internet session handle for the agent text (sent as the User-Agent). accessType is
// INTERNET_OPEN_TYPE_PRECONFIG or _DIRECT; an explicit proxy and bypass list are not
// supported and must be empty (ERROR_INVALID_PARAMETER otherwise). 0 on failure.
HINTERNET InternetOpenA(const std::string& agent, uint32_t accessType, const std::string& proxy,
                        const std::string& proxyBypass, uint32_t flags);

// A connection handle under the session for one server, port and service (HTTP or FTP).
// For HTTP nothing is sent yet. For FTP the server is reached and logged on to at once
// (an empty user name logs on anonymously); INTERNET_FLAG_PASSIVE asks for passive data
// connections, active mode lets the server connect back. A server name that is empty or
// holds characters no host name has gives ERROR_INTERNET_INVALID_URL. 0 on failure.
HINTERNET InternetConnectA(HINTERNET internet, const std::string& serverName, uint16_t port,
                           const std::string& userName, const std::string& password,
                           uint32_t service, uint32_t flags, uintptr_t context);

// A request handle for the verb and object path (relative to the server; "" means "/")
// on an HTTP connection. Characters not allowed in a URL are sent percent-encoded.
// INTERNET_FLAG_SECURE uses TLS (the peer's certificate is verified; with
// INTERNET_FLAG_IGNORE_CERT_CN_INVALID its name is not compared with the server name).
// The version text is "HTTP/1.0" or "HTTP/1.1" ("" for 1.1). Redirects within HTTP(S) are
// followed. 0 on failure.
HINTERNET HttpOpenRequestA(HINTERNET connect, const std::string& verb,
                           const std::string& objectName, const std::string& version,
                           const std::string& referrer, uint32_t flags, uintptr_t context);

// Sends the request with the extra header lines (CRLF-separated, may be empty) and the
// optional body, and waits until the response's status line and headers have arrived.
// Any HTTP status counts as success; query HTTP_QUERY_STATUS_CODE to see it. A request
// is sent once: a second send gives ERROR_INTERNET_INCORRECT_HANDLE_STATE.
bool HttpSendRequestA(HINTERNET request, const std::string& headers, const void* optional,
                      uint32_t optionalLength);

// A response item of a sent request. With HTTP_QUERY_FLAG_NUMBER the buffer receives a
// uint32_t (bufferLength at least 4); with HTTP_QUERY_FLAG_SYSTEMTIME a SYSTEMTIME;
// otherwise the text and a terminating zero, bufferLength becoming the text's length
// (ERROR_INSUFFICIENT_BUFFER with the needed size, zero included, when it does not fit).
// ERROR_HTTP_HEADER_NOT_FOUND when the response has no such header; request headers
// (HTTP_QUERY_FLAG_REQUEST_HEADERS) are not kept and are never found.
bool HttpQueryInfoA(HINTERNET request, uint32_t infoLevel, void* buffer, uint32_t& bufferLength,
                    uint32_t* index = nullptr);

// Reads up to toRead bytes of the response body, blocking until that many have arrived or
// the body has ended; bytesRead 0 with true means the end. A transfer that breaks off (the
// connection drops, a body shorter than its announced length, a time-out) fails.
bool InternetReadFile(HINTERNET file, void* buffer, uint32_t toRead, uint32_t& bytesRead);

// Downloads the remote file (a path relative to the log-on folder; "/" separated) of an
// FTP connection into the local file, in binary. With failIfExists an existing local file
// is kept and the call fails with ERROR_FILE_EXISTS. On failure the local file may hold
// part of the data.
bool FtpGetFileA(HINTERNET connect, const std::string& remoteFile, const std::string& localFile,
                 bool failIfExists, uint32_t attributes, uint32_t flags, uintptr_t context);

// Closes the handle and every handle made under it. False for an unknown handle.
bool InternetCloseHandle(HINTERNET handle);

// The error code of the thread's last failing call (0 when none failed yet).
uint32_t GetLastError();
void SetLastError(uint32_t code);

// The system's text for a Win32 error code this layer reports (2, 5, 6, 8, 29, 80, 87,
// 122, 112 ...), empty when it has none. WinInet codes (12000 and above) have none here.
std::string SystemErrorText(uint32_t code);

// Open handles of the thread's tables (tests).
size_t OpenHandleCount();

} // namespace inet
