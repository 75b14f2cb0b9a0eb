// Register file, data port, DMA, CD audio and the host's registrations: each one a thin wrapper
// that holds the global lock for its whole call, so the streaming thread sees either none or
// all of it, and on the way out calls the host's interrupt callback for what the call raised
// (host_call.h). Before SPUinit and after SPUshutdown there is no core and no lock: writes vanish
// and reads give 0.
#include "exports.h"
#include "chip.h"
#include "host_call.h"

SPU_EXPORT void CALLBACK SPUwriteRegister(uint32_t address, uint16_t value) {
    plugin::HostCall lock;
    if (Chip* core = lock.core()) core->writeRegister(address, value);
}

SPU_EXPORT uint16_t CALLBACK SPUreadRegister(uint32_t address) {
    plugin::HostCall lock;
    Chip* core = lock.core();
    return core != nullptr ? core->readRegister(address) : 0;
}

SPU_EXPORT void CALLBACK SPUwriteDMA(uint16_t value) {
    plugin::HostCall lock;
    if (Chip* core = lock.core()) core->writeDataPort(value);
}

SPU_EXPORT uint16_t CALLBACK SPUreadDMA() {
    plugin::HostCall lock;
    Chip* core = lock.core();
    return core != nullptr ? core->readDataPort() : 0;
}

SPU_EXPORT void CALLBACK SPUwriteDMAMem(uint16_t* words, int32_t count) {
    plugin::HostCall lock;
    Chip* core = lock.core();
    if (core != nullptr && words != nullptr) core->writeBlock(words, count);
}

SPU_EXPORT void CALLBACK SPUreadDMAMem(uint16_t* words, int32_t count) {
    plugin::HostCall lock;
    Chip* core = lock.core();
    if (core != nullptr && words != nullptr) core->readBlock(words, count);
}

SPU_EXPORT void CALLBACK SPUplayADPCMchannel(XaDecodeRecord* record) {
    plugin::HostCall lock;
    Chip* core = lock.core();
    if (core != nullptr && record != nullptr) core->feedCdAudio(record);
}

// The interrupt callback: spuTarn only keeps it (its chip raises no interrupt), spuTarnExact calls
// it for every rise of its interrupt flag. The CD-DA volume callback is only kept: the plug-in
// reports no CD-DA volume.
SPU_EXPORT void CALLBACK SPUregisterCallback(uintptr_t callback) {
    plugin::CoreLock lock;
    if (lock.core() != nullptr) plugin::state().registeredCallback = callback;
}

SPU_EXPORT void CALLBACK SPUregisterCDDAVolume(uintptr_t cddaVolume) {
    plugin::CoreLock lock;
    if (lock.core() != nullptr) plugin::state().registeredCddaVolume = cddaVolume;
}
