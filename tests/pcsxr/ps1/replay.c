// Replays console checks from the recordings (replay.h) as the console test program ran them,
// and prints what that program read: the voice-1 capture ring of sound RAM (pcm checks) or the
// ENVX reads (envx checks), as "SPUT: rec NAME ring|envx VALUES". The test script hands them
// to the recordings' own checker.
#include "replay.h"

#include "spu_hw.h"
#include "sput.h"

enum ReplayOp {
    OP_END, OP_WRITE, OP_POLL_TRANSFER, OP_POLL_STATUS, OP_CPU_WAIT, OP_EDGE, OP_POLL_ENVX_ZERO,
    OP_POLL_ENVX_SET, OP_READ_ENVX, OP_DMA_TO, OP_DMA_FROM, OP_DPCR, OP_COM_DELAY, OP_LOAD_RAM
};
#define POLL_LIMIT_TICKS (100u * TICKS_PER_MS)
#define V1_ENVX SPU_VOICE(1, VOICE_ENVX)

static uint32_t want;
static int16_t ring[512] __attribute__((aligned(4)));
static uint32_t dmaWords[256] __attribute__((aligned(4)));
static uint16_t envx[32];
static int envxCount;

static int transferIs(void) { return SPU_TRANSFER_ADDRESS == want; }
static int statusModeIs(void) { return ((SPU_STATUS >> 4) & 3) == want; }
static int captureHalfIs(void) { return ((SPU_STATUS & SPU_STATUS_CAPTURE_HALF) != 0) == want; }
static int envxSet(void) { return V1_ENVX != 0; }

static int waitValue(int (*done)(void), uint32_t value) {
    want = value;
    return waitFor(done, POLL_LIMIT_TICKS);
}

// The chip starts writing the ring's first half again: bit 11 goes to 1, then back to 0.
static int captureEdge(void) { return waitValue(captureHalfIs, 1) && waitValue(captureHalfIs, 0); }

static void printValues(const char* name, const char* what, const int16_t* v, int count) {
    for (int i = 0; i < count; i += 16) {
        bios_printf("SPUT: rec %s %s", name, what);
        for (int k = i; k < i + 16 && k < count; ++k) bios_printf(" %d", v[k]);
        bios_printf("\n");
    }
}

// Runs one check; returns 0 when a wait timed out (the step is named in the output).
static int replay(const ReplayCheck* check) {
    envxCount = 0;
    for (const uint32_t* op = check->ops; *op != 0; ++op) {
        const uint32_t arg = *op & 0xFFFFFFu;
        int ok = 1;
        switch (*op >> 24) {
        case OP_WRITE: HW16(SPU_BASE + 2u * (arg >> 16)) = (uint16_t)arg; break;
        case OP_POLL_TRANSFER: ok = waitValue(transferIs, arg); break;
        case OP_POLL_STATUS: ok = waitValue(statusModeIs, arg); break;
        case OP_CPU_WAIT: waitMs(arg / TICKS_PER_MS + 1); break;
        case OP_EDGE: ok = captureEdge(); break;
        case OP_POLL_ENVX_ZERO:
            for (uint32_t reads = 0; V1_ENVX != 0 && reads < arg && ok; ++reads) ok = captureEdge();
            break;
        case OP_POLL_ENVX_SET: ok = waitFor(envxSet, POLL_LIMIT_TICKS); break;
        case OP_READ_ENVX:
            if (envxCount < 32) envx[envxCount++] = V1_ENVX;
            break;
        case OP_DMA_TO:
            for (uint32_t i = 0; i < arg; ++i) dmaWords[i] = op[1 + i];
            startDma(dmaWords, (int)(2 * arg), DMA_FROM_RAM);
            op += arg;
            break;
        case OP_DMA_FROM: startDma(ring, (int)(2 * arg), DMA_TO_RAM); break;
        case OP_DPCR: DMA_PRIORITY_CONTROL |= 0x000B0000u; break;
        case OP_COM_DELAY: COM_DELAY = (COM_DELAY & 0x00FFFFFFu) | (arg << 24); break;
        case OP_LOAD_RAM:
            for (uint32_t i = 0; i < op[1]; ++i) dmaWords[i] = op[2 + i];
            uploadByDma(arg << 3, (const uint16_t*)dmaWords, (int)(2 * op[1]));
            op += 1 + op[1];
            break;
        }
        if (!ok) {
            bios_printf("SPUT: rec %s timed out at step %d\n", check->name, (int)(op - check->ops));
            return 0;
        }
    }
    if (envxCount > 0) {
        int16_t values[32];
        for (int i = 0; i < envxCount; ++i) values[i] = (int16_t)envx[i];
        printValues(check->name, "envx", values, envxCount);
    } else {
        printValues(check->name, "ring", ring, 512);
    }
    return 1;
}

void replayRecordings(void) {
    for (const ReplayCheck* check = kReplayChecks; check->name != 0; ++check) replay(check);
}
