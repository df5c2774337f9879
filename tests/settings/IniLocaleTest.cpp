// Number text does not follow the process locale: every store writes and reads "1.5" under a
// locale whose decimal mark is a comma.
#include "tests/settings/IniTestSupport.h"
#include "tests/support/ScopedEnv.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

// Puts the process into de_DE.UTF-8 for one scope. Without that locale on the system it is
// generated into a temporary folder that LOCPATH then names.
class GermanLocale {
public:
    GermanLocale() {
        if (Switch())
            return;
        if (m_dir.Path().empty())
            return;
        const std::string command =
            "localedef -i de_DE -f UTF-8 " + m_dir.File("de_DE.UTF-8") + " >/dev/null 2>&1";
        (void)std::system(command.c_str()); // warnings give a non-zero code; Switch decides
        m_locPath.emplace("LOCPATH", m_dir.Path().c_str());
        Switch();
    }
    ~GermanLocale() { std::setlocale(LC_ALL, "C"); }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

    bool Active() const { return m_active; }

private:
    bool Switch() {
        m_active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
        return m_active;
    }

    TempFolder m_dir;
    std::optional<ScopedEnv> m_locPath;
    bool m_active = false;
};

std::string Text(CIniFile_0& ini, const char* key) {
    char buf[64];
    ini.GetString("S", key, "<missing>", buf, sizeof buf);
    return buf;
}

// Writes and reads numbers through one store; the texts are those of the C locale.
void CheckNumbers(CIniFile_0& ini, bool textIsStored) {
    ASSERT_EQ(ini.SetDouble("S", "d", 1.5), 0u);
    ASSERT_EQ(ini.SetString("S", "t", "2.5"), 0u);
    ASSERT_EQ(ini.SetListDouble("S", "L", "g", 0.25), 0u);
    ASSERT_EQ(ini.SetInt32("S", "i", -1234567), 0u);
    EXPECT_EQ(Text(ini, "d"), "1.5");
    EXPECT_DOUBLE_EQ(ini.GetDouble("S", "d", 0), 1.5);
    EXPECT_DOUBLE_EQ(ini.GetDouble("S", "t", 0), 2.5);
    EXPECT_DOUBLE_EQ(ini.GetListDouble("S", "L", "g", 0), 0.25);
    EXPECT_EQ(ini.GetInt32("S", "i", 0), -1234567);
    if (textIsStored) {
        EXPECT_EQ(Text(ini, "L"), "g=0.25");
    }
}

} // namespace

TEST(IniNumberText, IgnoresTheProcessLocaleInEveryStore) {
    GermanLocale german;
    if (!german.Active())
        GTEST_SKIP() << "no de_DE.UTF-8 locale and none could be generated (localedef)";
    // The premise: the C library itself now writes a decimal comma.
    char probe[16];
    std::snprintf(probe, sizeof probe, "%G", 1.5);
    ASSERT_STREQ(probe, "1,5");

    TempFolder dir;
    {
        SCOPED_TRACE("memory store");
        IniFilePtr ini = MakeIniFile(3);
        CheckNumbers(*ini, true);
        EXPECT_EQ(SaveMem(*ini), "[S]\nd=1.5\nt=2.5\nL=g=0.25\ni=-1234567\n");
    }
    {
        SCOPED_TRACE("file store");
        IniFilePtr ini = MakeIniFile(0);
        ini->SetFileName(dir.File("app.ini").c_str());
        CheckNumbers(*ini, true);
        ASSERT_EQ(ini->Save(), 0u);
        EXPECT_EQ(ReadFileBytes(dir.File("app.ini")),
                  "[S]\r\nd=1.5\r\nt=2.5\r\nL=g=0.25\r\ni=-1234567\r\n");
    }
    {
        SCOPED_TRACE("private-profile store");
        IniFilePtr ini = MakeIniFile(1);
        ini->SetFileName(dir.File("profile.ini").c_str());
        CheckNumbers(*ini, true);
    }
    {
        SCOPED_TRACE("registry store");
        ScopedEnv registry("KAVRIN_REGISTRY_DIR", dir.Path().c_str());
        IniFilePtr ini = MakeIniFile(2);
        ASSERT_EQ(ini->SetFileName("HKEY_CURRENT_USER\\Locale"), 0u);
        CheckNumbers(*ini, false); // list items are values of their own here
    }
}
