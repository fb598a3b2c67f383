#include "core/file_helpers.h"
#include "platform/win/files.h"
#include "platform/win/module_version.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>
#include <set>

namespace {

using namespace tavimo;

TEST(NormalizePath, Table) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"  /data/images/a.png  ", "/data/images/a.png"},
        {"C:\\photos\\\\holiday\\a.jpg", "C:/photos/holiday/a.jpg"},
        {"/data//images///a.png", "/data/images/a.png"},
        {"////server/share/a.png", "//server/share/a.png"},
        {"\\\\server\\share\\a.png", "//server/share/a.png"},
        {"//x", "//x"}, // three characters or fewer stay as they are
        {"a//", "a//"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NormalizePath(c.in), c.out) << c.in;
}

// Sets or clears an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(TempFolder, FallsBackThroughTmpTempTmpdirToSlashTmp) {
    ScopedEnv tmp("tmp", nullptr), temp("temp", nullptr), tmpdir("TMPDIR", nullptr);
    EXPECT_EQ(GetTempFolder(), "/tmp/");
    {
        ScopedEnv t("TMPDIR", "/var/tmp");
        EXPECT_EQ(GetTempFolder(), "/var/tmp/");
        ScopedEnv t2("temp", " /srv/temp ");
        EXPECT_EQ(GetTempFolder(), "/srv/temp/");
        ScopedEnv t3("tmp", "/scratch/");
        EXPECT_EQ(GetTempFolder(), "/scratch/");
    }
}

TEST(TempFolder, NamesAreNewDecimalFilesCreatedPrivately) {
    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        std::string name = MakeTempFileName();
        ASSERT_FALSE(name.empty());
        ASSERT_EQ(name.rfind(GetTempFolder(), 0), 0u);
        std::string leaf = name.substr(GetTempFolder().size());
        EXPECT_FALSE(leaf.empty());
        for (char ch : leaf)
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(ch))) << leaf;
        struct stat st {};
        ASSERT_EQ(stat(name.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(st.st_size, 0);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), 20u);
    for (const std::string& n : names)
        win::deleteFileQuietly(n);
}

TEST(FileHelpers, FileExistsAnswersThePathOfReadableFilesOnly) {
    std::string file = MakeTempFileName();
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(FileExists(file), file);
    EXPECT_EQ(FileExists(GetTempFolder()), ""); // a folder is no file
    win::deleteFileQuietly(file);
    EXPECT_EQ(FileExists(file), "");
}

TEST(FileHelpers, Versions) {
    EXPECT_EQ(GetFileVersion("no-such-module.so"), "Unknown");
    win::ScopedModuleVersionOverride v("demo.dll", "Undefined");
    EXPECT_EQ(GetFileVersion("demo.dll"), "Undefined");
    win::setModuleVersion("fixed.dll", "1.2.3");
    EXPECT_EQ(GetFileVersion("fixed.dll"), "1.2.3.0");
    win::setModuleVersion("fixed.dll", "");
}

TEST(FileHelpers, GuidsNumbersAndWords) {
    win::Guid g = StringToGuid("{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}");
    EXPECT_EQ(g.data1, 0xB96B3CAEu);
    EXPECT_EQ(g.data4[7], 0x2E);
    EXPECT_TRUE(StringToGuid("not a guid").isZero());

    EXPECT_EQ(CountDecimals(72.0f), 0);
    EXPECT_EQ(CountDecimals(72.5f), 1);
    EXPECT_EQ(CountDecimals(0.004f), 3);
    EXPECT_EQ(CountDecimals(std::numeric_limits<float>::quiet_NaN()), 0);

    EXPECT_EQ(MinDouble(1.0, 2.0), 1.0);
    EXPECT_EQ(MinDouble(2.0, 2.0), 2.0);
    EXPECT_EQ(MinDouble(3.0, -1.0), -1.0);

    EXPECT_EQ(HiWord(0x00060001u), 6);
    EXPECT_EQ(LoWord(0x00060001u), 1);
    EXPECT_EQ(HiWord(0xFFFF8000u), 65535);
    EXPECT_EQ(LoWord(0xFFFF8000u), 32768);

    EXPECT_EQ(ArrayElementCount(std::vector<int>{}), 0);
    EXPECT_EQ(ArrayElementCount(std::vector<int>{4, 5, 6}), 3);
}

TEST(FileHelpers, RandomIdentifiersAreUpperCaseGroupsOfHex) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        std::string id = NewRandomIdentifier();
        ASSERT_EQ(id.size(), 36u);
        for (size_t k = 0; k < id.size(); ++k) {
            if (k == 8 || k == 13 || k == 18 || k == 23)
                EXPECT_EQ(id[k], '-');
            else
                EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(id[k])) ||
                            (id[k] >= 'A' && id[k] <= 'F'))
                    << id;
        }
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 50u);
}

} // namespace
