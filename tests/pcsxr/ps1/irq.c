// The sound chip's interrupt. Voice 5 loops the DMA area's two-block tone silently, with the
// IRQ address on its second block, so it reaches that address every 56 samples; later the
// address moves where no voice plays and a DMA upload runs over it. The handler is entered
// through the BIOS's interrupt exit hook (irq_hook_install in crt0.S; the host's BIOS calls no
// handler queued with SysEnqIntRP without hanging): it counts, acknowledges at the chip (SPUCNT
// bit 6 to 0, which also disarms it) and at the interrupt controller. Lines:
//   irq polled I_STAT SPUSTAT ACKED  bit 9 seen with the interrupt masked, SPUSTAT bit 6 then,
//                                    and SPUSTAT bit 6 after the acknowledge (1 1 0 expected)
//   irq handler FIRST QUIET REARMED  handler count: after arming, 50 ms later, after re-arming
//   irq dma QUIET COUNT              count before the upload (nothing touches the address) and after
// A plug-in that raises no interrupt prints zeros throughout.
#include "spu_hw.h"
#include "sput.h"

static const VoiceSetup kSilentLoop = {0, 0, 0x1000, DMA_AREA >> 3, 0x000F, 0x1FC0};
static volatile int handled;
static uint32_t hook[12];
static uint32_t handlerStack[256] __attribute__((aligned(8)));
static uint16_t zeros[64] __attribute__((aligned(4)));

void irq_handler(void) {
    if (!(I_STAT & IRQ_SPU)) return;  // the queue runs at every interrupt
    ++handled;
    SPU_CONTROL = (uint16_t)(SPU_CONTROL & ~SPU_CONTROL_IRQ);
    I_STAT = ~IRQ_SPU;
}

static void arm(void) { SPU_CONTROL = (uint16_t)(SPU_CONTROL | SPU_CONTROL_IRQ); }
static int pending(void) { return (I_STAT & IRQ_SPU) != 0; }
static int handledOnce(void) { return handled >= 1; }
static int handledTwice(void) { return handled >= 2; }
static int handledThrice(void) { return handled >= 3; }

void interruptScenario(void) {
    I_MASK &= ~IRQ_SPU;
    I_STAT = ~IRQ_SPU;
    SPU_IRQ_ADDRESS = (DMA_AREA + 16) >> 3;
    setupVoice(5, &kSilentLoop);
    arm();
    SPU_KEY_ON_LOW = 1u << 5;
    const int seen = waitFor(pending, 100 * TICKS_PER_MS);
    const int flagged = (SPU_STATUS & SPU_STATUS_IRQ) != 0;
    SPU_CONTROL = (uint16_t)(SPU_CONTROL & ~SPU_CONTROL_IRQ);
    const int acked = (SPU_STATUS & SPU_STATUS_IRQ) != 0;
    I_STAT = ~IRQ_SPU;
    bios_printf("SPUT: irq polled %d %d %d\n", seen, flagged, acked);

    irq_hook_install(hook, handlerStack + 256);
    I_MASK |= IRQ_SPU;
    cpu_enable_interrupts();
    arm();
    waitFor(handledOnce, 100 * TICKS_PER_MS);
    const int first = handled;
    waitMs(50);  // the handler disarmed it: nothing more comes
    const int quiet = handled;
    arm();
    waitFor(handledTwice, 100 * TICKS_PER_MS);
    bios_printf("SPUT: irq handler %d %d %d\n", first, quiet, handled);

    SPU_IRQ_ADDRESS = 0x5000 >> 3;
    arm();
    waitMs(20);
    const int beforeDma = handled;
    uploadByDma(0x4FC0, zeros, 64);  // 0x4FC0..0x503F
    waitFor(handledThrice, 100 * TICKS_PER_MS);
    bios_printf("SPUT: irq dma %d %d\n", beforeDma, handled);

    I_MASK &= ~IRQ_SPU;
    SPU_CONTROL = (uint16_t)(SPU_CONTROL & ~SPU_CONTROL_IRQ);
    SPU_KEY_OFF_LOW = 1u << 5;
}
