// Reverb: note A's tone on voice 4 for 0.5 s with the Room preset, cut, then 1 s of silence (emulated
// time: the chip's own clock differs between the plug-ins), once
// with the voice's reverb bit (EON) on and once with it off. The recording must hold a decaying
// tail after the first key-off and none after the second. Room's registers and its work area
// (26C0h bytes at the top of sound RAM, so mBASE = (80000h - 26C0h) / 8 = FB28h) are the
// console sound library's; the work area is cleared first.
#include "spu_hw.h"
#include "sput.h"

enum { kWorkAreaBytes = 0x26C0, kNoteMs = 500, kTailMs = 1000 };
static const uint16_t kRoom[32] = {
    0x007D, 0x005B, 0x6D80, 0x54B8, 0xBED0, 0x0000, 0x0000, 0xBA80, 0x5800, 0x5300, 0x04D6,
    0x0333, 0x03F0, 0x0227, 0x0374, 0x01EF, 0x0334, 0x01B5, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x01B4, 0x0136, 0x00B8, 0x005C, 0x8000, 0x8000};
static const VoiceSetup kReverbNote = {0x3FFF, 0x3FFF, 0x0800, DMA_AREA >> 3, 0x000F, 0x1FC0};
static uint16_t cleared[kWorkAreaBytes / 2] __attribute__((aligned(4)));

static void note(int eon) {
    SPU_REVERB_ON_LOW = eon ? 1u << 4 : 0;
    setupVoice(4, &kReverbNote);
    SPU_KEY_ON_LOW = 1u << 4;
    waitMs(kNoteMs);
    // Cut at once by the volume: release rates mean opposite speeds in the two plug-ins' chips.
    SPU_VOICE(4, VOICE_VOLUME_LEFT) = 0;
    SPU_VOICE(4, VOICE_VOLUME_RIGHT) = 0;
    SPU_KEY_OFF_LOW = 1u << 4;
    waitMs(kTailMs);
    bios_printf("SPUT: reverb room eon %s played\n", eon ? "on" : "off");
}

void reverbScenario(void) {
    uploadByDma(0x80000u - kWorkAreaBytes, cleared, kWorkAreaBytes / 2);
    SPU_REVERB_BASE = (0x80000u - kWorkAreaBytes) >> 3;
    for (int i = 0; i < 32; ++i) SPU_REVERB_REGISTER(i) = kRoom[i];
    SPU_REVERB_OUT_LEFT = 0x3000;
    SPU_REVERB_OUT_RIGHT = 0x3000;
    SPU_TRANSFER_CONTROL = 0x0004;
    SPU_CONTROL = (uint16_t)(SPU_CONTROL | SPU_CONTROL_REVERB);
    note(1);
    note(0);
    SPU_CONTROL = (uint16_t)(SPU_CONTROL & ~SPU_CONTROL_REVERB);
    SPU_REVERB_OUT_LEFT = 0;
    SPU_REVERB_OUT_RIGHT = 0;
}
