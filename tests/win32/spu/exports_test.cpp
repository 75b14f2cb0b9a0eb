// The DLL as the host's loader sees it: every name resolves, the ordinal of the .def file names
// the same function, and the identity entry points answer what the host's plug-in list shows.
#include <gtest/gtest.h>

#include <cstring>

#include "spu_plugin.h"

namespace spu_wine {
namespace {

TEST(SpuExportTable, EveryNameAndItsOrdinalGiveTheSameAddress) {
    HMODULE m = module();
    ASSERT_NE(m, nullptr) << "LoadLibraryA(" << dllPath() << ") failed, error " << GetLastError();
    for (const ExportEntry& e : kExports) {
        FARPROC byName = GetProcAddress(m, e.name);
        FARPROC byOrdinal = GetProcAddress(m, MAKEINTRESOURCEA(e.ordinal));
        EXPECT_NE(byName, nullptr) << e.name;
        EXPECT_EQ(byName, byOrdinal) << e.name << " at ordinal " << e.ordinal;
    }
    // Ordinal 1 and 34 name nothing: the table is exactly 2 to 33.
    EXPECT_EQ(GetProcAddress(m, MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(GetProcAddress(m, MAKEINTRESOURCEA(34)), nullptr);
    // Undecorated names only: a host looks up "SPUinit", never "_SPUinit@0".
    EXPECT_EQ(GetProcAddress(m, "_SPUinit@0"), nullptr);
    EXPECT_EQ(GetProcAddress(m, "SPUinit@0"), nullptr);
}

TEST(SpuExportTable, IdentityBeforeInitAndAfterShutdown) {
    const SpuExports* spu = exports();
    ASSERT_NE(spu, nullptr);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(spu->PSEgetLibType(), 4);  // a sound plug-in
        EXPECT_EQ(spu->PSEgetLibVersion(), 65795u);  // 0x00010103: version 1.1, build 3
        const char* name = spu->PSEgetLibName();
        ASSERT_NE(name, nullptr);
        EXPECT_STREQ(name, "Tarn's DirectSound Driver");
        EXPECT_EQ(spu->PSEgetLibName(), name) << "the host may keep the pointer";
        EXPECT_EQ(spu->SPUtest(), 0);
        if (round == 0) {
            ASSERT_EQ(spu->SPUinit(), 0);
            ASSERT_EQ(spu->SPUshutdown(), 0);
        }
    }
}

TEST(SpuExportTable, DoNothingEntriesKeepTheStackAndTheState) {
    // With __stdcall the callee pops its arguments: an entry point declared with the wrong
    // argument count would leave ESP off, and the next call from this frame would crash.
    const SpuExports* spu = exports();
    ASSERT_NE(spu, nullptr);
    ASSERT_EQ(spu->SPUinit(), 0);
    spu->SPUwriteRegister(voiceReg(0, 0x4), 0x1234);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(spu->SPUgetOne(0x1F801C04u + i), 0);
        spu->SPUputOne(1, 2);
        spu->SPUplaySample(3);
        spu->SPUsetAddr(4, 5);
        spu->SPUsetPitch(6, 7);
        spu->SPUsetVolumeL(8, 9);
        spu->SPUsetVolumeR(10, 11);
        spu->SPUstartChannels1(0xFFFF);
        spu->SPUstartChannels2(0xFF);
        spu->SPUstopChannels1(0xFFFF);
        spu->SPUstopChannels2(0xFF);
        spu->SPUplaySector();
        spu->SPUregisterCallback(0xDEADBEEF);
        spu->SPUregisterCDDAVolume(0xCAFEF00D);
    }
    EXPECT_EQ(spu->SPUreadRegister(voiceReg(0, 0x4)), 0x1234);
    EXPECT_EQ(spu->SPUreadRegister(reg(0xD88)), 0);
    EXPECT_EQ(spu->SPUshutdown(), 0);
}

}  // namespace
}  // namespace spu_wine
