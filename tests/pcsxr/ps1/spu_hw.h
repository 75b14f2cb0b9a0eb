// The console's hardware as the test program touches it: the sound chip's 16-bit registers at
// 0x1F801C00, DMA channel 4 (sound RAM) and root counter 2. The host forwards every access in
// 0x1F801C00..0x1F801DFF to the sound plug-in with the whole address.
#pragma once
#include <stdint.h>

#define HW16(addr) (*(volatile uint16_t*)(addr))
#define HW32(addr) (*(volatile uint32_t*)(addr))

// Sound chip.
#define SPU_BASE 0x1F801C00u
#define SPU_VOICE(v, sub) HW16(SPU_BASE + 16u * (v) + (sub))
enum {
    VOICE_VOLUME_LEFT = 0x0,
    VOICE_VOLUME_RIGHT = 0x2,
    VOICE_PITCH = 0x4,  // 0x1000 plays one source sample per output sample (44100 Hz)
    VOICE_START = 0x6,  // in 8-byte units of sound RAM
    VOICE_ADSR1 = 0x8,
    VOICE_ADSR2 = 0xA,
    VOICE_ENVX = 0xC,  // envelope level, rewritten by the chip after every pass
    VOICE_REPEAT = 0xE,
};
#define SPU_MAIN_VOLUME_LEFT HW16(0x1F801D80)
#define SPU_MAIN_VOLUME_RIGHT HW16(0x1F801D82)
#define SPU_KEY_ON_LOW HW16(0x1F801D88)  // voices 0-15
#define SPU_KEY_ON_HIGH HW16(0x1F801D8A)  // voices 16-23
#define SPU_KEY_OFF_LOW HW16(0x1F801D8C)
#define SPU_KEY_OFF_HIGH HW16(0x1F801D8E)
#define SPU_ACTIVE_LOW HW16(0x1F801D9C)
#define SPU_ACTIVE_HIGH HW16(0x1F801D9E)
#define SPU_TRANSFER_ADDRESS HW16(0x1F801DA6)  // in 8-byte units
#define SPU_DATA_PORT HW16(0x1F801DA8)
#define SPU_CONTROL HW16(0x1F801DAA)
#define SPU_REVERB_OUT_LEFT HW16(0x1F801D84)
#define SPU_REVERB_OUT_RIGHT HW16(0x1F801D86)
#define SPU_REVERB_ON_LOW HW16(0x1F801D98)  // EON, voices 0-15
#define SPU_REVERB_BASE HW16(0x1F801DA2)    // in 8-byte units
#define SPU_IRQ_ADDRESS HW16(0x1F801DA4)    // in 8-byte units
#define SPU_TRANSFER_CONTROL HW16(0x1F801DAC)
#define SPU_STATUS HW16(0x1F801DAE)
#define SPU_STATUS_IRQ 0x0040u
#define SPU_STATUS_CAPTURE_HALF 0x0800u
#define SPU_REVERB_REGISTER(i) HW16(0x1F801DC0 + 2u * (i))
#define SPU_CD_VOLUME_LEFT HW16(0x1F801DB0)
#define SPU_CD_VOLUME_RIGHT HW16(0x1F801DB2)

#define SPU_CONTROL_ENABLE 0xC000u  // chip on, output unmuted
#define SPU_CONTROL_CD_AUDIO 0x0001u  // CD audio into the mix
#define SPU_CONTROL_REVERB 0x0080u
#define SPU_CONTROL_IRQ 0x0040u  // interrupt enable; writing 0 acknowledges
#define SPU_TRANSFER_MODE (3u << 4)
#define SPU_TRANSFER_MANUAL (1u << 4)
#define SPU_TRANSFER_DMA_WRITE (2u << 4)
#define SPU_TRANSFER_DMA_READ (3u << 4)

// DMA channel 4: sound RAM.
#define DMA4_ADDRESS HW32(0x1F8010C0)
#define DMA4_BLOCKS HW32(0x1F8010C4)  // block size in 32-bit words (low half), block count (high)
#define DMA4_CONTROL HW32(0x1F8010C8)
#define DMA_PRIORITY_CONTROL HW32(0x1F8010F0)
#define DMA4_ENABLE (1u << 19)
#define DMA_FROM_RAM 0x01000201u  // start, sync mode 1 (blocks on request), RAM to device
#define DMA_TO_RAM 0x01000200u
#define DMA_BUSY (1u << 24)

// Interrupt controller; bit 9 is the sound chip's.
#define I_STAT HW32(0x1F801070)
#define I_MASK HW32(0x1F801074)
#define IRQ_SPU (1u << 9)
#define COM_DELAY HW32(0x1F801014)

// Root counter 2 at the system clock / 8 (4233600 Hz), free running through 0xFFFF.
#define TIMER2_COUNT HW16(0x1F801120)
#define TIMER2_MODE HW16(0x1F801124)
#define TIMER2_SYSCLOCK_DIV8 0x0200u

// CD controller: four byte registers whose meaning depends on the index written to the first.
#define HW8(addr) (*(volatile uint8_t*)(addr))
#define CD_STATUS HW8(0x1F801800)  // write: index; read: bit 7 busy, bit 5 response ready
#define CD_REG1 HW8(0x1F801801)
#define CD_REG2 HW8(0x1F801802)
#define CD_REG3 HW8(0x1F801803)
#define CD_BUSY 0x80u
#define CD_RESPONSE_READY 0x20u
