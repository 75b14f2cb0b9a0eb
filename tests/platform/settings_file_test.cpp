// The plug-in's settings key in its file ($XDG_CONFIG_HOME/spuTarn/settings): written when the
// key is made and on every value write, read anew on every open, with "Name=value" lines in which
// only a plain decimal number is a REG_DWORD. Other keys never reach a file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "sim/sim.h"
#include "win32.h"

namespace {

constexpr const char* kSettingsKey = "Software\\Vision Thing\\PSEmu Pro\\SPU\\spuTarn";

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::registryReset();
        file = sim::settingsFilePath();
    }
    void TearDown() override { sim::registryReset(); }

    HKEY open(DWORD* disposition) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                  disposition),
                  ERROR_SUCCESS);
        return key;
    }
    static void setDword(HKEY key, const char* name, DWORD value) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof(value)),
                  ERROR_SUCCESS);
    }
    // Type and bytes of a value as RegQueryValueExA gives them; false when it is missing.
    static bool query(HKEY key, const char* name, DWORD* type, std::string* bytes) {
        char data[64] = {};
        DWORD size = sizeof(data);
        if (RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS)
            return false;
        bytes->assign(data, size);
        return true;
    }
    std::string contents() const {
        std::ifstream in(file);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    void writeFile(const std::string& text) const {
        std::ofstream(file, std::ios::trunc) << text;
    }

    std::string file;
};

}  // namespace

TEST_F(SettingsFileTest, NewKeyMakesTheFileAndEveryWriteKeepsItsLines) {
    EXPECT_NE(file.find("/spuTarn/settings"), std::string::npos);
    // The directory is private to the test process, never the user's own.
    EXPECT_EQ(file.rfind(std::getenv("XDG_CONFIG_HOME"), 0), 0u);
    DWORD disposition = 0;
    HKEY key = open(&disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_TRUE(std::ifstream(file).good());
    setDword(key, "SoundBufferSize", 8);
    setDword(key, "HighResolutionMode", 4294967295u);
    RegCloseKey(key);
    const std::string text = contents();
    EXPECT_NE(text.find("\nSoundBufferSize=8\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nHighResolutionMode=4294967295\n"), std::string::npos) << text;

    // Opened again: an existing key with the values back as REG_DWORD.
    key = open(&disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(query(key, "soundbuffersize", &type, &bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(bytes, std::string("\x08\0\0\0", 4));
    RegCloseKey(key);
}

TEST_F(SettingsFileTest, HandEditsAreReadAtTheNextOpenAndOnlyPlainNumbersAreDwords) {
    DWORD disposition = 0;
    RegCloseKey(open(&disposition));
    writeFile("# edited by hand\n"
              "  SoundBufferSize = 16  \n"
              "XABufferSize=big\n"
              "HighResolutionMode=-1\n"
              "Large=4294967296\n"
              "no equals sign here\n"
              "=5\n");
    HKEY key = open(&disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(query(key, "SoundBufferSize", &type, &bytes));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(bytes, std::string("\x10\0\0\0", 4));
    // Not a plain decimal number below 2^32: text, so that a reader asking for a DWORD sees a
    // value of another type.
    for (const char* name : {"XABufferSize", "HighResolutionMode", "Large"}) {
        ASSERT_TRUE(query(key, name, &type, &bytes)) << name;
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name;
    }
    EXPECT_EQ(bytes, std::string("4294967296", 11));  // with its terminator
    RegCloseKey(key);
}

TEST_F(SettingsFileTest, DeletedFileMakesTheKeyNewAgainAndOtherKeysStayInMemory) {
    DWORD disposition = 0;
    RegCloseKey(open(&disposition));
    std::remove(file.c_str());
    EXPECT_FALSE(sim::registryKeyExists(kSettingsKey));
    RegCloseKey(open(&disposition));
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);

    // A key beside it, or above it, is no file's business.
    HKEY other = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vision Thing\\PSEmu Pro\\SPU\\other",
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &other, &disposition),
              ERROR_SUCCESS);
    setDword(other, "SoundBufferSize", 99);
    RegCloseKey(other);
    EXPECT_EQ(contents().find("99"), std::string::npos);
    EXPECT_EQ(RegLinuxFileOfKey("Software\\Vision Thing\\PSEmu Pro\\SPU\\other"), "");
    EXPECT_EQ(RegLinuxFileOfKey("software\\vision thing\\psemu pro\\spu\\SPUTARN"), file);
}

TEST_F(SettingsFileTest, UnreadableFileIsAnExistingKeyWithoutValuesAndIsNotReplaced) {
    // A directory where the file should be stands for any file that cannot be read (the tests
    // run as root, who reads everything else).
    const std::string directory = file.substr(0, file.rfind('/'));
    mkdir(directory.c_str(), 0700);
    ASSERT_EQ(mkdir(file.c_str(), 0700), 0);
    DWORD disposition = 0;
    HKEY key = open(&disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);  // so the defaults are not written
    DWORD type = 0;
    std::string bytes;
    EXPECT_FALSE(query(key, "SoundBufferSize", &type, &bytes));
    RegCloseKey(key);
    struct stat status {};
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
    rmdir(file.c_str());
}

TEST_F(SettingsFileTest, UnwritableDirectoryKeepsTheKeyInMemory) {
    // A plain file where the directory should be: nothing can be created below it.
    const std::string home = std::getenv("XDG_CONFIG_HOME");
    const std::string blocked = home + "/blocked";
    std::ofstream(blocked) << "not a directory";
    setenv("XDG_CONFIG_HOME", blocked.c_str(), 1);
    DWORD disposition = 0;
    HKEY key = open(&disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    setDword(key, "XABufferSize", 64);
    DWORD type = 0;
    std::string bytes;
    // Still readable through the open handle in this process.
    EXPECT_TRUE(query(key, "XABufferSize", &type, &bytes));
    EXPECT_EQ(bytes, std::string("\x40\0\0\0", 4));
    RegCloseKey(key);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    std::remove(blocked.c_str());
}

TEST_F(SettingsFileTest, PathFollowsXdgConfigHomeThenHome) {
    const std::string xdg = std::getenv("XDG_CONFIG_HOME");
    const char* oldHome = std::getenv("HOME");
    const std::string home = oldHome != nullptr ? oldHome : "";
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored, by the XDG rule
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(RegLinuxFileOfKey(kSettingsKey), "/home/someone/.config/spuTarn/settings");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RegLinuxFileOfKey(kSettingsKey), "/home/someone/.config/spuTarn/settings");
    setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    if (oldHome != nullptr) setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(RegLinuxFileOfKey(kSettingsKey), xdg + "/spuTarn/settings");
}
