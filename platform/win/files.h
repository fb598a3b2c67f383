#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace win {

// Paths are UTF-8 strings with "/" as the separator. None of these calls throws.

// The path when it names a regular file that opens for reading and is smaller than
// 2 GiB; otherwise empty (missing, unreadable, a directory or other non-regular file,
// too large). Linux has no share locks, so a file another process has open for writing
// still exists.
std::string FileExists(const std::string& path);

// Deletes a file (not a directory), ignoring every failure. True when it was deleted.
bool deleteFileQuietly(const std::string& path);

// Path clean-up for paths handed in by callers: blanks at both ends are trimmed, "\"
// becomes "/", and when the result is longer than 3 characters a leading run of
// separators shrinks to two and, from the third character on, doubled separators
// collapse to one. The first two characters are kept as they are, so a leading "//"
// (a network-style prefix) survives. File names that contain "\" cannot be given.
std::string NormalizePath(std::string_view path);

// The folder for temporary files, always ending with "/": the first non-blank of the
// environment variables tmp, temp and TMPDIR (trimmed), else "/tmp/".
std::string GetTempFolder();

// A new temporary file: the temp folder and a decimal number (below 100,000,000, no
// extension). The file is created at once, exclusively and empty, with mode 0600, so no
// other process can take the name or plant a link there; the caller owns and deletes it.
// Empty when no file could be created (folder missing or not writable).
std::string MakeTempFileName();

// Reads a whole regular file. False (bytes empty) when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes);

// Writes the bytes as the file's whole content, creating or truncating it. False when the
// file cannot be opened or a write fails.
bool writeWholeFile(const std::string& path, const void* data, size_t size);
inline bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    return writeWholeFile(path, bytes.data(), bytes.size());
}

// Copies a regular file over the destination (created or replaced). False when the source
// cannot be read, the destination cannot be written, or both name the same file (which is
// left untouched).
bool copyFile(const std::string& from, const std::string& to);

// The size of a regular file, or -1.
int64_t fileSize(const std::string& path);

// Owns a file path and deletes the file when destroyed, unless released.
class TempFile {
public:
    TempFile() = default;
    explicit TempFile(std::string path) : m_path(std::move(path)) {}
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    TempFile(TempFile&& other) noexcept : m_path(other.release()) {}
    TempFile& operator=(TempFile&& other) noexcept {
        if (this != &other) {
            reset();
            m_path = other.release();
        }
        return *this;
    }
    ~TempFile() { reset(); }

    // A new temporary file (empty path when none could be made).
    static TempFile create() { return TempFile(MakeTempFileName()); }

    const std::string& path() const { return m_path; }
    explicit operator bool() const { return !m_path.empty(); }
    std::string release() { return std::exchange(m_path, std::string()); }
    void reset() {
        if (!m_path.empty())
            deleteFileQuietly(release());
    }

private:
    std::string m_path;
};

} // namespace win
