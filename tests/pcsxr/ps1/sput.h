// The steps of the sound chip test program and what they share. Every result goes out as one
// line "SPUT: ..." through the BIOS printf, which the host prints with -psxout; the test script
// on the other side parses these lines.
#pragma once
#include <stdint.h>

void bios_printf(const char* fmt, ...);

// Sound RAM layout (byte addresses). Each upload is 256 words: a looping two-block tone first,
// then a pattern that only the readback looks at.
#define UPLOAD_WORDS 256
#define DATA_PORT_AREA 0x1000u  // uploaded through the data port
#define DMA_AREA 0x2000u        // uploaded by DMA
#define MARKER_AREA 0x3000u     // written just before the save point, different in every run
#define MARKER_WORDS 64

extern uint16_t dataPortImage[UPLOAD_WORDS];
extern uint16_t dmaImage[UPLOAD_WORDS];
extern uint16_t markerImage[MARKER_WORDS];

void buildImages(void);
void buildMarker(uint16_t seed);

// Transfers (transfers.c).
void uploadByDataPort(uint32_t byteAddress, const uint16_t* words, int count);
void uploadByDma(uint32_t byteAddress, const uint16_t* words, int count);
void readByDataPort(uint32_t byteAddress, uint16_t* words, int count);
void readByDma(uint32_t byteAddress, uint16_t* words, int count);
// Compares and prints "SPUT: <what> ok N words" or the first mismatch.
void startDma(void* words, int count, uint32_t direction);  // at the transfer address set
int reportReadback(const char* what, const uint16_t* got, const uint16_t* want, int count);

// Which chip the plug-in plays (spu_clock.c): 1 when it copies SPUCNT bits 0-5 into SPUSTAT as
// the console's chip does (spuTarnExact), 0 for spuTarn's simplified chip, which keeps no such
// copy. The clock voice and the save point depend on it.
extern int exactChip;
void detectChip(void);

// Time in output samples of the chip itself (spu_clock.c).
void clockInit(void);
int waitSamples(uint32_t samples);  // 0 when the chip's clock stalled
uint16_t clockLevel(void);
void pollPause(void);  // spaces register polls (see spu_clock.c)
uint16_t timerNow(void);
#define TICKS_PER_MS 4234u  // root counter 2 (system clock / 8)

// The played sequence (notes.c), the save/load check (save_load.c), CD audio (cd_audio.c).
void playSequence(void);
void playCdAudio(void);
// What only the hardware-faithful plug-in does (the script judges it only there): the
// interrupt (irq.c), reverb (reverb.c), the console's recordings replayed (replay.c).
void interruptScenario(void);
void reverbScenario(void);
void replayRecordings(void);
int waitFor(int (*done)(void), uint32_t limitTicks);  // 0 when the limit passed first
void waitMs(uint32_t ms);
void irq_hook_install(uint32_t* buffer, uint32_t* stackTop);
void irq_handler(void);
void cpu_enable_interrupts(void);
void saveWindow(void);

// A voice's six written registers, in sub-register order 0x0..0xA.
typedef struct {
    uint16_t volumeLeft, volumeRight, pitch, start, adsr1, adsr2;
} VoiceSetup;
void setupVoice(int voice, const VoiceSetup* s);
extern const VoiceSetup kNoteA, kNoteB, kNoteC;
