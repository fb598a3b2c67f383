#include "platform/win/files.h"

#include "platform/win/random.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace win;

// A private folder per test, removed with everything in it.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = ::testing::TempDir() + "files_test_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern + "/";
    }
    void TearDown() override { std::system(("rm -rf '" + m_dir + "'").c_str()); }
    std::string path(const char* name) const { return m_dir + name; }

    std::string m_dir;
};

// Sets environment variables for one scope and puts the old values back.
class ScopedEnv {
public:
    void set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        m_saved.push_back({name, old != nullptr, old ? old : ""});
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->had)
                ::setenv(it->name.c_str(), it->value.c_str(), 1);
            else
                ::unsetenv(it->name.c_str());
        }
    }

private:
    struct Saved {
        std::string name;
        bool had;
        std::string value;
    };
    std::vector<Saved> m_saved;
};

TEST(NormalizePath, LinuxRule) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"/home/user/pic.png", "/home/user/pic.png"},
        {"\\home\\user\\pic.png", "/home/user/pic.png"},
        {"  /tmp/a.png  ", "/tmp/a.png"},
        {"/home//user///pic.png", "/home/user/pic.png"},
        {"\\home\\\\user\\pic.png", "/home/user/pic.png"},
        {"////server/share/a", "//server/share/a"},
        {"\\\\\\\\server\\share", "//server/share"},
        {"//server//share", "//server/share"},
        {"a//b", "a//b"}, // the first two characters are kept as they are
        {"ab//c//d", "ab/c/d"},
        {"///", "///"}, // three characters or fewer are left alone
        {"////", "//"},
        {"a\\\\", "a//"},
        {"", ""},
        {"   ", ""},
        {"relative\\dir//f", "relative/dir/f"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NormalizePath(c.in), c.out) << '"' << c.in << '"';
}

TEST_F(FilesTest, FileExistsOnlyForReadableRegularFilesBelowTwoGiB) {
    std::string small = path("small.bin");
    ASSERT_TRUE(writeWholeFile(small, "abc", 3));
    EXPECT_EQ(FileExists(small), small);
    EXPECT_EQ(FileExists(path("missing")), "");
    EXPECT_EQ(FileExists(m_dir), "") << "a directory";
    EXPECT_EQ(FileExists(""), "");

    std::string fifo = path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(FileExists(fifo), "") << "must neither block nor accept a FIFO";

    // Sparse files, so the size costs no disk.
    for (int64_t size : {(int64_t{1} << 31) - 1, int64_t{1} << 31}) {
        std::string big = path("big");
        int fd = ::open(big.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        if (::ftruncate(fd, size) != 0) {
            ::close(fd);
            GTEST_SKIP() << "no sparse files here";
        }
        ::close(fd);
        EXPECT_EQ(FileExists(big).empty(), size >= (int64_t{1} << 31)) << size;
    }

    if (::geteuid() != 0) {
        std::string locked = path("locked");
        ASSERT_TRUE(writeWholeFile(locked, "x", 1));
        ::chmod(locked.c_str(), 0);
        EXPECT_EQ(FileExists(locked), "");
    }
}

TEST_F(FilesTest, DeleteQuietlyReadWriteAndCopy) {
    std::string a = path("a"), b = path("b");
    std::vector<uint8_t> content(200000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(writeWholeFile(a, content));
    EXPECT_EQ(fileSize(a), 200000);
    ASSERT_TRUE(writeWholeFile(b, "old content that is longer", 26));
    ASSERT_TRUE(copyFile(a, b));
    std::vector<uint8_t> read;
    ASSERT_TRUE(readWholeFile(b, read));
    EXPECT_EQ(read, content) << "copy replaces the whole destination";

    EXPECT_FALSE(copyFile(a, a)) << "copy onto itself";
    EXPECT_FALSE(copyFile(a, m_dir + "./a"));
    ASSERT_TRUE(readWholeFile(a, read));
    EXPECT_EQ(read.size(), content.size()) << "and leaves the file intact";
    EXPECT_FALSE(copyFile(path("missing"), b));
    EXPECT_FALSE(readWholeFile(path("missing"), read));
    EXPECT_TRUE(read.empty());
    EXPECT_FALSE(writeWholeFile(path("no/such/dir"), "x", 1));

    EXPECT_TRUE(deleteFileQuietly(a));
    EXPECT_FALSE(deleteFileQuietly(a));
    EXPECT_FALSE(deleteFileQuietly(m_dir)) << "never a directory";
    EXPECT_FALSE(deleteFileQuietly(""));
    EXPECT_EQ(fileSize(a), -1);
}

TEST_F(FilesTest, TempFolderOrderAndTrailingSeparator) {
    ScopedEnv env;
    env.set("tmp", nullptr);
    env.set("temp", nullptr);
    env.set("TMPDIR", nullptr);
    EXPECT_EQ(GetTempFolder(), "/tmp/");
    env.set("TMPDIR", "/var/tmp");
    EXPECT_EQ(GetTempFolder(), "/var/tmp/");
    env.set("temp", "  ");
    EXPECT_EQ(GetTempFolder(), "/var/tmp/") << "a blank value counts as unset";
    env.set("temp", " /t2/ ");
    EXPECT_EQ(GetTempFolder(), "/t2/");
    env.set("tmp", "/t1");
    EXPECT_EQ(GetTempFolder(), "/t1/");
}

TEST_F(FilesTest, TempNamesAreDecimalCreatedExclusivelyAndPrivate) {
    ScopedEnv env;
    env.set("tmp", m_dir.c_str());
    std::set<std::string> names;
    for (int i = 0; i < 50; ++i) {
        std::string name = MakeTempFileName();
        ASSERT_EQ(name.rfind(m_dir, 0), 0u) << name;
        std::string leaf = name.substr(m_dir.size());
        ASSERT_FALSE(leaf.empty());
        EXPECT_EQ(leaf.find_first_not_of("0123456789"), std::string::npos) << leaf;
        EXPECT_LT(std::stoll(leaf), 100000000);
        struct stat info {};
        ASSERT_EQ(::stat(name.c_str(), &info), 0) << "the name is taken at once";
        EXPECT_EQ(info.st_mode & 0777, 0600u);
        EXPECT_EQ(info.st_size, 0);
        EXPECT_TRUE(names.insert(name).second) << "a taken name is never given again";
    }

    // With the sequence replayed, the names already present are skipped, not reused.
    Randomize(42);
    std::string first = MakeTempFileName();
    Randomize(42);
    std::string second = MakeTempFileName();
    EXPECT_NE(first, second);
    ASSERT_FALSE(second.empty());

    env.set("tmp", (m_dir + "missing-folder").c_str());
    EXPECT_EQ(MakeTempFileName(), "");
}

TEST_F(FilesTest, TempFileDeletesUnlessReleased) {
    ScopedEnv env;
    env.set("tmp", m_dir.c_str());
    std::string kept;
    {
        TempFile gone = TempFile::create();
        ASSERT_TRUE(gone);
        EXPECT_FALSE(FileExists(gone.path()).empty());
        kept = gone.path();
    }
    EXPECT_EQ(FileExists(kept), "");
    {
        TempFile file = TempFile::create();
        TempFile moved = std::move(file);
        kept = moved.release();
    }
    EXPECT_EQ(FileExists(kept), kept);
}

} // namespace
