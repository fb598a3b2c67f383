#include "platform/win/files.h"

#include "platform/win/random.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace win {
namespace {

constexpr int64_t kTwoGiB = int64_t{1} << 31;

// Closes a descriptor when it goes out of scope.
struct Fd {
    int fd = -1;
    explicit Fd(int value) : fd(value) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
    explicit operator bool() const { return fd >= 0; }
};

std::string trimBlanks(std::string_view text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

int openForReading(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

bool writeAll(int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

} // namespace

std::string FileExists(const std::string& path) {
    if (path.empty())
        return {};
    // O_NONBLOCK keeps a FIFO from blocking the open; fstat then refuses it.
    Fd file(openForReading(path));
    if (!file)
        return {};
    struct stat info {};
    if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size >= kTwoGiB)
        return {};
    return path;
}

bool deleteFileQuietly(const std::string& path) {
    if (path.empty())
        return false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return false;
    return ::unlink(path.c_str()) == 0;
}

std::string NormalizePath(std::string_view input) {
    std::string path = trimBlanks(input);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    if (path.size() <= 3)
        return path;
    size_t lead = 0;
    while (lead < path.size() && path[lead] == '/')
        ++lead;
    if (lead > 2)
        path.erase(0, lead - 2);
    // From the third character on, no separator may follow another.
    std::string out = path.substr(0, 2);
    for (size_t i = 2; i < path.size(); ++i) {
        if (path[i] == '/' && out.size() > 2 && out.back() == '/')
            continue;
        out += path[i];
    }
    return out;
}

std::string GetTempFolder() {
    for (const char* name : {"tmp", "temp", "TMPDIR"}) {
        const char* value = std::getenv(name);
        if (value == nullptr)
            continue;
        std::string folder = trimBlanks(value);
        if (folder.empty())
            continue;
        if (folder.back() != '/')
            folder += '/';
        return folder;
    }
    return "/tmp/";
}

std::string MakeTempFileName() {
    try {
        std::string folder = GetTempFolder();
        // A clash is rare (10^8 names); only an existing name is worth another draw.
        for (int attempt = 0; attempt < 1000; ++attempt) {
            auto number = static_cast<uint32_t>(Rnd() * 100000000.0);
            std::string candidate = folder + std::to_string(number);
            int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                            0600);
            if (fd >= 0) {
                ::close(fd);
                return candidate;
            }
            if (errno != EEXIST && errno != EINTR)
                return {};
        }
    } catch (...) {
    }
    return {};
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    try {
        Fd file(openForReading(path));
        if (!file)
            return false;
        struct stat info {};
        if (::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        // The file is regular, so reads do not block despite O_NONBLOCK.
        bytes.reserve(static_cast<size_t>(info.st_size));
        unsigned char chunk[64 * 1024];
        for (;;) {
            ssize_t got = ::read(file.fd, chunk, sizeof chunk);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                bytes.clear();
                return false;
            }
            if (got == 0)
                return true;
            bytes.insert(bytes.end(), chunk, chunk + got);
        }
    } catch (...) {
        bytes.clear();
        return false;
    }
}

bool writeWholeFile(const std::string& path, const void* data, size_t size) {
    if (data == nullptr && size > 0)
        return false;
    Fd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file)
        return false;
    return writeAll(file.fd, static_cast<const unsigned char*>(data), size);
}

bool copyFile(const std::string& from, const std::string& to) {
    Fd source(openForReading(from));
    if (!source)
        return false;
    struct stat in {
    }, out{};
    if (::fstat(source.fd, &in) != 0 || !S_ISREG(in.st_mode))
        return false;
    if (::stat(to.c_str(), &out) == 0 && out.st_dev == in.st_dev && out.st_ino == in.st_ino)
        return false;
    Fd target(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!target)
        return false;
    unsigned char chunk[64 * 1024];
    for (;;) {
        ssize_t got = ::read(source.fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return true;
        if (!writeAll(target.fd, chunk, static_cast<size_t>(got)))
            return false;
    }
}

int64_t fileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return static_cast<int64_t>(info.st_size);
}

} // namespace win
