// The two message boxes under Xvfb: a watcher thread finds each by its caption, reads it and
// presses OK, and the export must then return, as it does for a user.
#include <gtest/gtest.h>

#include <cstdio>

#include "message_box_watcher.h"
#include "registry_key.h"
#include "spu_plugin.h"

namespace spu_wine {
namespace {

constexpr const char* kCaption = "Tarn's DirectSound Driver";

TEST(SpuMessageBoxes, AboutShowsItsTextAndReturnsOnOk) {
    const SpuExports* spu = exports();
    ASSERT_NE(spu, nullptr);
    MessageBoxWatcher watcher(kCaption);
    spu->SPUabout();  // returns only once the box is closed
    watcher.join();
    ASSERT_TRUE(watcher.found()) << "no box captioned \"" << kCaption << "\" appeared";
    EXPECT_EQ(watcher.text(), "GUWASHI!");
    // MB_TOPMOST cannot be checked here: Wine 8's message box does not pass it on to the
    // window (WS_EX_TOPMOST stays clear even for a box the harness shows itself with it), so
    // the style is only reported.
    std::printf("[ message box ] exstyle 0x%lx\n", static_cast<unsigned long>(watcher.exStyle()));
}

TEST(SpuMessageBoxes, ConfigureCreatesTheKeyBeforeNamingIt) {
    const SpuExports* spu = exports();
    ASSERT_NE(spu, nullptr);
    ASSERT_TRUE(deleteSettingsKey());
    bool keyWhileShown = false;
    MessageBoxWatcher watcher(kCaption, [&] { keyWhileShown = settingsKeyExists(); });
    EXPECT_EQ(spu->SPUconfigure(), 0);  // before SPUinit, as a host's settings menu may call it
    watcher.join();
    ASSERT_TRUE(watcher.found());
    EXPECT_EQ(watcher.text(),
              "Edit Registry.\n\n"
              "\"HKEY_CURRENT_USER\\Software\\Vision Thing\\PSEmu Pro\\SPU\\spuTarn\"");
    EXPECT_TRUE(keyWhileShown) << "the text names a key that must already exist";
    EXPECT_EQ(readSettingsValue("SoundBufferSize").value, 8u);
    EXPECT_EQ(readSettingsValue("XABufferSize").value, 32u);
}

}  // namespace
}  // namespace spu_wine
