// The save point. Voice 0 plays note A's settings and the program waits, watching the voice's
// bit in the active register. In the first run the host saves a state here and is then stopped.
// The second run starts from that state: the processor resumes in this loop, main RAM is as it
// was, and the plug-in has been given back its sound RAM and register block -- but not its
// voices, which the state does not hold, so the active bit drops at the plug-in's next pass. That
// is how the program knows it runs on from a load; it then reads back sound RAM and registers and
// compares them with what it wrote before the save (kept in main RAM, restored with it).
//
// A marker written just before the save point depends on the root counter, so it differs from
// run to run: only a restored sound RAM can hold the marker that the restored main RAM expects.
//
// The console's chip (spuTarnExact) saves its voices too, so nothing shows a load: there the
// window is 15 s of emulated time, far longer than the first run lasts after the save, and the
// second run, resumed inside it, reads back when it ends.
#include "spu_hw.h"
#include "sput.h"

#define WINDOW_LIMIT_TICKS (60u * 4233600u)  // 60 s of emulated time
#define EXACT_WINDOW_TICKS (15u * 4233600u)

static int registersAgree(void) {
    static const VoiceSetup* const kExpected[3] = {&kNoteA, &kNoteB, &kNoteC};
    int good = 0;
    for (int v = 0; v < 3; ++v) {
        const uint16_t* want = &kExpected[v]->volumeLeft;
        for (int r = 0; r < 6; ++r) {
            const uint16_t got = SPU_VOICE(v, 2 * r);
            if (got != want[r]) {
                bios_printf("SPUT: after-load register voice %d sub 0x%x got 0x%04x want 0x%04x\n",
                            v, 2 * r, got, want[r]);
                return 0;
            }
            ++good;
        }
    }
    if (SPU_MAIN_VOLUME_LEFT != 0x3FFF || SPU_MAIN_VOLUME_RIGHT != 0x3FFF) {
        bios_printf("SPUT: after-load register main volume 0x%04x 0x%04x\n", SPU_MAIN_VOLUME_LEFT,
                    SPU_MAIN_VOLUME_RIGHT);
        return 0;
    }
    bios_printf("SPUT: after-load registers ok %d\n", good + 2);
    return 1;
}

static void readBackAfterLoad(void) {
    static uint16_t buffer[UPLOAD_WORDS] __attribute__((aligned(4)));
    readByDma(DATA_PORT_AREA, buffer, UPLOAD_WORDS);
    reportReadback("after-load dataport-area dma-read", buffer, dataPortImage, UPLOAD_WORDS);
    readByDataPort(DMA_AREA, buffer, UPLOAD_WORDS);
    reportReadback("after-load dma-area dataport-read", buffer, dmaImage, UPLOAD_WORDS);
    readByDma(MARKER_AREA, buffer, MARKER_WORDS);
    reportReadback("after-load marker", buffer, markerImage, MARKER_WORDS);
    registersAgree();
}

void saveWindow(void) {
    setupVoice(0, &kNoteA);
    SPU_KEY_ON_LOW = 1u << 0;
    waitSamples(13230);  // 0.3 s into the note
    const uint16_t seed = timerNow();
    buildMarker(seed);
    uploadByDma(MARKER_AREA, markerImage, MARKER_WORDS);
    bios_printf("SPUT: save window marker 0x%04x\n", seed);

    uint32_t elapsed = 0;
    uint16_t last = timerNow();
    while (exactChip || (SPU_ACTIVE_LOW & 1u)) {
        pollPause();
        const uint16_t now = timerNow();
        elapsed += (uint16_t)(now - last);
        last = now;
        if (exactChip && elapsed > EXACT_WINDOW_TICKS) break;
        if (elapsed > WINDOW_LIMIT_TICKS) {
            bios_printf("SPUT: save window closed without a load\n");
            return;
        }
    }
    bios_printf(exactChip ? "SPUT: save window passed\n" : "SPUT: resumed from saved state\n");
    readBackAfterLoad();
}
