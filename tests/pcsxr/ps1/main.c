// The sound chip test program: uploads and reads back sound RAM by both paths, plays a known
// sequence of notes and reports what the registers showed, then waits at a save point for the
// host to save a state (run 1) or to resume from it (run 2). Booted from the CD audio disc it
// plays that disc's CD audio instead (cd_audio.c), then the reverb notes, the interrupt and the
// console's recorded checks.
#include "spu_hw.h"
#include "sput.h"

int cdRun __attribute__((section(".data"))) = 0;

int main(void) {
    bios_printf(cdRun ? "SPUT: start cd\n" : "SPUT: start\n");
    detectChip();
    SPU_CONTROL = SPU_CONTROL_ENABLE;
    SPU_MAIN_VOLUME_LEFT = 0x3FFF;
    SPU_MAIN_VOLUME_RIGHT = 0x3FFF;
    DMA_PRIORITY_CONTROL |= DMA4_ENABLE;
    clockInit();

    buildImages();
    uploadByDataPort(DATA_PORT_AREA, dataPortImage, UPLOAD_WORDS);
    uploadByDma(DMA_AREA, dmaImage, UPLOAD_WORDS);

    // Each area is read back by the other path, so both directions of both paths are used.
    static uint16_t readback[UPLOAD_WORDS] __attribute__((aligned(4)));
    readByDma(DATA_PORT_AREA, readback, UPLOAD_WORDS);
    reportReadback("dataport-upload dma-read", readback, dataPortImage, UPLOAD_WORDS);
    readByDataPort(DMA_AREA, readback, UPLOAD_WORDS);
    reportReadback("dma-upload dataport-read", readback, dmaImage, UPLOAD_WORDS);

    if (cdRun) {
        playCdAudio();
        reverbScenario();
        interruptScenario();
        replayRecordings();
    } else {
        playSequence();
        saveWindow();
    }
    bios_printf("SPUT: done\n");
    // Until the host is stopped, keep reading a register: the host's SIGINT handler then most
    // likely interrupts the emulation thread inside the plug-in's locked register read, and
    // closes the plug-in from there. The host must still exit.
    for (;;) (void)SPU_ACTIVE_LOW;
}
