#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tavimo {

// One HTTP or FTP transfer over the platform's Internet layer. Creation opens an Internet
// session with the agent "quennet" (hInternet() 0 when that failed); destruction closes it,
// and with it the connection and request handles made under it. Handles are the layer's
// 32-bit values; every member answers failures as values (0, False) and never throws.
class cInet {
public:
    cInet();
    ~cInet();
    cInet(const cInet&) = delete;
    cInet& operator=(const cInet&) = delete;

    // Connects to the host (service 3 HTTP, 1 FTP) and opens a request for the verb and
    // path, with HTTP/1.0. GET asks for a fresh copy; on port 443 GET and PUT go over TLS.
    // Returns the request handle, 0 on failure (hSession() tells whether the connection
    // was made). A port outside 0 to 65535 fails at once (0 asks for the default port).
    int32_t Request(const std::string& sAction, const std::string& sHost,
                    const std::string& sDirAndFile, int32_t ePort, int32_t eService);

    // Connects and logs on to an FTP server (empty login: anonymous), passive when
    // bFtpPassiveMode is set. Returns the session handle, 0 on failure.
    int32_t FtpOpenSession(const std::string& sHost, int32_t port, const std::string& login,
                           const std::string& password);

    // Sends the open request with extra headers and a body (both may be empty) and waits
    // for the response headers. 1 on success, 0 on failure.
    int16_t SendRequest(const std::string& sHeaders, const std::string& data);

    // A response item of the sent request. A level with bit 0x80000000 is a text query into
    // sBuffer, whose current length is the room offered; bit 0x20000000 a number into
    // lBuffer; else, when bit 0x10000000 is clear and the low four bits hold 0xB, a date,
    // returned in sBuffer as year, month, day of week, day, hour, minute, second and
    // millisecond in decimal, separated by single blanks. Other levels query nothing and
    // give 0. A header the response does not carry is answered with an empty text or 0 and
    // result 1, so a missing length reads as no length; 0 means the query itself failed
    // (no sent request, a malformed value, too little room).
    int16_t QueryInfo(int32_t level, std::string& sBuffer, int32_t& lBuffer);

    // Reads the body of the sent request, `total` bytes, in chunks of the buffer size. After
    // each chunk PacketReceieved reports the share still to come (whole percent, rounded
    // down), the bytes left and the total, and the thread's pending messages are pumped;
    // setting bStopReadArray (from a handler or a message) ends the read after the current
    // chunk. True only when all `total` bytes arrived; False when stopped, when the body
    // ends early or breaks off, or when total < 1. arBytes holds what was read.
    bool ReadArray(std::vector<uint8_t>& arBytes, int32_t total);

    int32_t hInternet() const { return static_cast<int32_t>(m_hInternet); }
    int32_t hSession() const { return static_cast<int32_t>(m_hSession); }
    // The chunk size of ReadArray (1024 at creation); values below 1 are ignored.
    void BufferSize(int32_t size);

    // The layer's error code of the last failing call made by this object (0 when none).
    uint32_t LastErrorCode() const { return m_lastError; }

    // English text for an Internet error code; other codes get the system's text for them,
    // or "Unknown Error".
    static std::string TranslateErrorCode(int32_t code);

    bool bFtpPassiveMode = true;
    bool bStopReadArray = false;

    // Raised by ReadArray after each chunk: (nPercentProgress still to come,
    // nLeftToTransfer, nTotalLength).
    std::function<void(int32_t, int32_t, int32_t)> PacketReceieved;

private:
    int32_t connect(const std::string& host, int32_t port, const std::string& user,
                    const std::string& password, uint32_t service, uint32_t flags);
    void noteError();

    uint32_t m_hInternet = 0;
    uint32_t m_hSession = 0;
    uint32_t m_hRequest = 0;
    int16_t m_sendResult = 0;
    int32_t m_BufferSize = 1024;
    uint32_t m_lastError = 0;
};

} // namespace tavimo
