// The simulation's registry: key creation with its disposition, and the RegQueryValueExA contract
// that settings code relies on.
#include <gtest/gtest.h>

#include <cstring>

#include "sim/sim.h"
#include "win32.h"

namespace {

constexpr const char* kKey = "Software\\Maker\\Product\\SPU\\plugin";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { sim::registryReset(); }
    void TearDown() override { sim::registryReset(); }

    HKEY create(const char* path, DWORD* disposition, REGSAM access = KEY_ALL_ACCESS) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  access, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
};

}  // namespace

TEST_F(RegistryTest, CreateMakesMissingParentsAndTellsNewFromExisting) {
    DWORD disposition = 0;
    HKEY key = create(kKey, &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_TRUE(sim::registryKeyExists("Software\\Maker"));
    EXPECT_TRUE(sim::registryKeyExists("Software\\Maker\\Product\\SPU"));
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    // Names compare without case; the same key opens again.
    key = create("SOFTWARE\\maker\\PRODUCT\\spu\\Plugin", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);  // closed handles are refused

    // A parent that was only made on the way is an existing key too.
    key = create("Software\\Maker", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);

    HKEY opened = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Other", 0, KEY_READ, &opened),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(opened, nullptr);
    EXPECT_FALSE(sim::registryKeyExists("Software\\Other"));
}

TEST_F(RegistryTest, QueryFollowsTheWindowsContract) {
    sim::registrySetDword(kKey, "SoundBufferSize", 0x12345678);
    sim::registrySetValue(kKey, "Name", REG_SZ, {'a', 'b', 'c', 0});
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);

    // Four bytes into four bytes, type not asked for; the value name in another case.
    uint8_t dword[4] = {};
    DWORD bytes = 4;
    ASSERT_EQ(RegQueryValueExA(key, "soundbuffersize", nullptr, nullptr, dword, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(bytes, 4u);
    EXPECT_EQ(dword[0], 0x78);  // stored little-endian
    EXPECT_EQ(dword[3], 0x12);

    // Size only.
    DWORD type = 0;
    bytes = 0;
    ASSERT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(bytes, 4u);

    // Too small: ERROR_MORE_DATA, the needed size, the buffer untouched.
    uint8_t small[2] = {0xEE, 0xEE};
    bytes = 2;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, small, &bytes), ERROR_MORE_DATA);
    EXPECT_EQ(bytes, 4u);
    EXPECT_EQ(small[0], 0xEE);

    // Missing value: nothing written.
    bytes = 4;
    dword[0] = 0x55;
    EXPECT_EQ(RegQueryValueExA(key, "XABufferSize", nullptr, nullptr, dword, &bytes), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(dword[0], 0x55);
    // Data without a size is refused rather than written blind.
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, dword, nullptr), ERROR_INVALID_PARAMETER);

    // Read access does not write.
    EXPECT_EQ(RegSetValueExA(key, "Name", 0, REG_DWORD, dword, 4), ERROR_ACCESS_DENIED);
    RegCloseKey(key);
}

TEST_F(RegistryTest, SetValueStoresTypeAndBytesAndIsCounted) {
    DWORD disposition = 0;
    HKEY key = create(kKey, &disposition);
    const DWORD eight = 8;
    ASSERT_EQ(RegSetValueExA(key, "SoundBufferSize", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&eight), sizeof eight),
              ERROR_SUCCESS);
    DWORD type = 0;
    std::vector<uint8_t> data;
    ASSERT_TRUE(sim::registryGetValue(kKey, "SOUNDBUFFERSIZE", &type, &data));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data, (std::vector<uint8_t>{8, 0, 0, 0}));
    EXPECT_FALSE(sim::registryGetValue(kKey, "XABufferSize", &type, &data));
    EXPECT_EQ(sim::registryWriteCount(), 1);  // the test's own setters are not counted

    // After a reset the key is gone; a handle to it reports that instead of writing anywhere.
    sim::registryReset();
    EXPECT_EQ(sim::registryWriteCount(), 0);
    EXPECT_EQ(RegSetValueExA(key, "SoundBufferSize", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&eight), sizeof eight),
              ERROR_KEY_DELETED);
    EXPECT_FALSE(sim::registryKeyExists(kKey));
    RegCloseKey(key);
}
