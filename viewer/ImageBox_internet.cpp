// Images fetched over HTTP(S) and FTP. The download runs on the caller's thread; an HTTP
// body is read in chunks with the host's messages pumped in between, so the host can stop
// the transfer (or call any member) from its DataReceived handler.

#include <algorithm>
#include <cctype>

#include "core/image_table.h"
#include "platform/inet/wininet.h"
#include "platform/win/files.h"
#include "viewer/ImageBox.h"
#include "viewer/cInet.h"

namespace tavimo {

namespace {

constexpr int32_t kServiceHttp = int32_t(inet::INTERNET_SERVICE_HTTP);
constexpr int32_t kHttpQueryStatusCode =
    int32_t(inet::HTTP_QUERY_STATUS_CODE | inet::HTTP_QUERY_FLAG_NUMBER);
constexpr int32_t kHttpQueryContentLength =
    int32_t(inet::HTTP_QUERY_CONTENT_LENGTH | inet::HTTP_QUERY_FLAG_NUMBER);

QuennetStatus asStatus(int32_t s) {
    return static_cast<QuennetStatus>(s);
}

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool startsWithNoCase(const std::string& s, const std::string& prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) != prefix[i])
            return false;
    return true;
}

// The host name without a leading "http://" or "https://", in either case.
std::string bareHost(const std::string& sHost) {
    std::string host = trimmed(sHost);
    if (startsWithNoCase(host, "HTTP://"))
        host = trimmed(host.substr(7));
    if (startsWithNoCase(host, "HTTPS://"))
        host = trimmed(host.substr(8));
    return host;
}

// The FTP path relative to the log-on folder: "\" becomes "/", and up to two leading
// separators go.
std::string ftpRemotePath(const std::string& sPath) {
    std::string path = sPath;
    std::replace(path.begin(), path.end(), '\\', '/');
    path = trimmed(path);
    for (int i = 0; i < 2 && !path.empty() && path.front() == '/'; ++i)
        path.erase(0, 1);
    return path;
}

bool validPort(int32_t port) {
    return port >= 0 && port <= 65535;
}

} // namespace

void ImageBox::onPacketReceived(cInet& inet, int32_t nPercentProgress, int32_t nLeftToTransfer,
                                int32_t nTotalLength) {
    // A control shut down from a handler takes no more events; its transfer stops.
    if (m_s.m_Terminated) {
        inet.bStopReadArray = true;
        return;
    }
    ax::Variant args[3] = {ax::Variant(int32_t{100 - nPercentProgress}),
                           ax::Variant(nLeftToTransfer), ax::Variant(nTotalLength)};
    raise(ImageBoxEvent::DataReceived, args);
}

QuennetStatus ImageBox::DisplayFromURL(const std::string& sHost, const std::string& sPath,
                                       int32_t nHTTPPort) {
    if (m_s.m_TransferBusy)
        return asStatus(m_s.m_LastStatus);
    // A handler may make the host let the control go while the body is read.
    ax::ComPtr<IImageBox> hold = ax::ComPtr<IImageBox>::share(this);
    try {
        auto inet = std::make_shared<cInet>();
        m_inet = inet;
        CloseCurrentImage(false);
        if (inet->hInternet() == 0) {
            m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::InternetOpenError);
        } else if (!validPort(nHTTPPort)) {
            m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::ValueOverflow);
        } else {
            m_s.m_TransferBusy = true;
            inet->BufferSize(m_s.m_HttpBufferSize);
            cInet* raw = inet.get();
            inet->PacketReceieved = [this, raw](int32_t p, int32_t left, int32_t total) {
                onPacketReceived(*raw, p, left, total);
            };
            std::string host = bareHost(sHost);
            int32_t status = 0;
            int32_t code = 0;
            int32_t length = 0;
            std::string unused;
            std::vector<uint8_t> bytes;
            if (inet->Request("GET", host, sPath, nHTTPPort, kServiceHttp) == 0) {
                status = static_cast<int32_t>(inet->hSession() != 0
                                                  ? QuennetStatus::InternetHttpOpenRequestError
                                                  : QuennetStatus::InternetConnectError);
            } else if (inet->SendRequest("", "") == 0) {
                status = static_cast<int32_t>(QuennetStatus::InternetHttpSendRequestError);
            } else if (inet->QueryInfo(kHttpQueryStatusCode, unused, code) == 0) {
                status = static_cast<int32_t>(QuennetStatus::InternetHttpQueryError);
            } else if (code < 200 || code > 299) {
                // The server answered but did not deliver the file (404, 500...): its
                // error page is no image to decode.
                status = static_cast<int32_t>(QuennetStatus::InternetHttpSendRequestError);
            } else if (inet->QueryInfo(kHttpQueryContentLength, unused, length) == 0) {
                status = static_cast<int32_t>(QuennetStatus::InternetHttpQueryError);
            } else if (length < 1) {
                status = static_cast<int32_t>(QuennetStatus::InternetHttpInvalidFileLength);
            } else if (!inet->ReadArray(bytes, length) || m_s.m_Terminated) {
                status = static_cast<int32_t>(QuennetStatus::InternetHttpTransferError);
            } else {
                status = DisplayFromByteArray(bytes);
            }
            m_s.m_LastStatus = status;
        }
    } catch (...) {
        m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::GenericError);
    }
    m_s.m_TransferBusy = false;
    m_inet.reset();
    return asStatus(m_s.m_LastStatus);
}

void ImageBox::DisplayFromURLStop() {
    if (m_s.m_TransferBusy && m_inet)
        m_inet->bStopReadArray = true;
}

QuennetStatus ImageBox::DisplayFromFTP(const std::string& sHost, const std::string& sPath,
                                       const std::string& sLogin, const std::string& sPassword,
                                       int32_t nFTPPort) {
    ax::ComPtr<IImageBox> hold = ax::ComPtr<IImageBox>::share(this);
    try {
        // The FTP transfer has its own session object: an HTTP transfer that is running
        // (this call may come from its DataReceived handler) keeps its own and can still
        // be stopped.
        cInet inet;
        CloseCurrentImage(false);
        if (inet.hInternet() == 0)
            return asStatus(m_s.m_LastStatus =
                                static_cast<int32_t>(QuennetStatus::InternetOpenError));
        if (!validPort(nFTPPort))
            return asStatus(m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::ValueOverflow));
        inet.bFtpPassiveMode = m_s.m_FtpPassiveMode;
        int32_t session = inet.FtpOpenSession(trimmed(sHost), nFTPPort, sLogin, sPassword);
        if (session == 0)
            return asStatus(m_s.m_LastStatus =
                                static_cast<int32_t>(QuennetStatus::InternetConnectError));
        std::string file = win::MakeTempFileName();
        if (file.empty()) {
            m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::CanNotCreateFile);
        } else if (!inet::FtpGetFileA(static_cast<uint32_t>(session), ftpRemotePath(sPath), file,
                                      false, 0, 0, 0)) {
            // Nothing is shown, so nothing keeps the (empty or partial) file.
            win::deleteFileQuietly(file);
            m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::InternetFtpGetFileError);
        } else {
            DisplayFromFile(file);
            if (m_s.m_LastStatus != 0 || m_s.m_ImageId == 0)
                win::deleteFileQuietly(file);
            else
                SetTempSourceFile(m_s.m_ImageId, file);
        }
        inet::InternetCloseHandle(static_cast<uint32_t>(session));
    } catch (...) {
        m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::GenericError);
    }
    return asStatus(m_s.m_LastStatus);
}

void ImageBox::SetHttpTransfertBufferSize(int32_t nBuffersize) {
    m_s.m_HttpBufferSize = nBuffersize;
}

void ImageBox::SetFtpPassiveMode(bool bPassiveMode) {
    m_s.m_FtpPassiveMode = bPassiveMode;
}

} // namespace tavimo
