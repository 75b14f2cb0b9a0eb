// Moving words between main RAM and sound RAM: through the data port at 0x1F801DA8 (one
// register write or read per word) and by DMA channel 4 (the host hands the whole block to the
// plug-in's DMA entry points). Both start at the transfer address, set in 8-byte units.
#include "spu_hw.h"
#include "sput.h"

// The transfer mode is SPUCNT bits 5-4; the other bits (CD audio, reverb, the interrupt) stay.
static void setTransfer(uint32_t byteAddress, uint16_t mode) {
    SPU_CONTROL = (uint16_t)((SPU_CONTROL & ~SPU_TRANSFER_MODE) | mode);
    SPU_TRANSFER_ADDRESS = (uint16_t)(byteAddress >> 3);
}

static void endTransfer(void) { SPU_CONTROL = (uint16_t)(SPU_CONTROL & ~SPU_TRANSFER_MODE); }

void uploadByDataPort(uint32_t byteAddress, const uint16_t* words, int count) {
    setTransfer(byteAddress, SPU_TRANSFER_MANUAL);
    for (int i = 0; i < count; ++i) SPU_DATA_PORT = words[i];
    endTransfer();
}

void readByDataPort(uint32_t byteAddress, uint16_t* words, int count) {
    setTransfer(byteAddress, SPU_TRANSFER_MANUAL);
    for (int i = 0; i < count; ++i) words[i] = SPU_DATA_PORT;
    endTransfer();
}

// count must be a multiple of 32 (16-word blocks of 32-bit words). The transfer address and
// mode must be set.
void startDma(void* words, int count, uint32_t direction) {
    DMA4_ADDRESS = (uint32_t)words & 0x1FFFFFu;
    DMA4_BLOCKS = ((uint32_t)(count / 32) << 16) | 16u;
    DMA4_CONTROL = direction;
    // The host completes the transfer at once and clears the busy bit a little later.
    for (int spins = 0; (DMA4_CONTROL & DMA_BUSY) && spins < 1000000; ++spins) {}
    if (DMA4_CONTROL & DMA_BUSY) bios_printf("SPUT: dma stuck control 0x%08x\n", DMA4_CONTROL);
}

static void runDma(uint32_t byteAddress, uint16_t* words, int count, uint16_t mode,
                   uint32_t direction) {
    setTransfer(byteAddress, mode);
    startDma(words, count, direction);
    endTransfer();
}

void uploadByDma(uint32_t byteAddress, const uint16_t* words, int count) {
    runDma(byteAddress, (uint16_t*)words, count, SPU_TRANSFER_DMA_WRITE, DMA_FROM_RAM);
}

void readByDma(uint32_t byteAddress, uint16_t* words, int count) {
    runDma(byteAddress, words, count, SPU_TRANSFER_DMA_READ, DMA_TO_RAM);
}

int reportReadback(const char* what, const uint16_t* got, const uint16_t* want, int count) {
    for (int i = 0; i < count; ++i) {
        if (got[i] != want[i]) {
            bios_printf("SPUT: %s mismatch word %d got 0x%04x want 0x%04x\n", what, i, got[i],
                        want[i]);
            return 0;
        }
    }
    bios_printf("SPUT: %s ok %d words\n", what, count);
    return 1;
}
