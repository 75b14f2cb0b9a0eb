// The FPSE CD-ROM plug-in interface: eleven C-convention exports that forward to the driver in
// the open slot, converting the host's binary times to the driver's BCD and back.
#include <cstring>

#include "about_record.h"
#include "bcd.h"
#include "bridge_state.h"
#include "config_dialog.h"
#include "dialog_ids.h"

namespace {

// Shutdown before close: the reverse of init then open, as drivers expect to be torn down.
void closeOpenDriver() {
    if (openDriver.CDRshutdown != nullptr) openDriver.CDRshutdown();
    if (openDriver.CDRclose != nullptr) openDriver.CDRclose();
    UnloadCdrDriver(openDriver);
    driverOpen = 0;
}

// The driver wrote three BCD bytes after the host's byte 0; the host wants them binary.
void bcdToBinaryInPlace(uint8_t* bytes) {
    for (int i = 0; i < 3; ++i) bytes[i] = fromBcd(bytes[i]);
}

}  // namespace

extern "C" {

int32_t CD_Open(HostInfoRecord* record) {
    if (record == nullptr) return -1;
    // A host that opens again without closing would otherwise leave the first driver
    // initialised and loaded for good.
    if (driverOpen != 0) closeOpenDriver();

    // The host's directory in a copy of our own: the shared baseDirectory is rewritten by the
    // entry routine whenever a thread starts or ends, which happens while we run (the sound
    // plug-in's streaming thread, DirectSound's, the host's). The shared string is still left
    // as the host's.
    char hostDirectory[kPathSize];
    const bool directoryFits = ModuleDirectory(record->HostModule, hostDirectory);
    ComputeBaseDirectory(record->HostModule);
    if (!directoryFits) return -1;
    char path[kPathSize];
    if (!JoinPath(path, hostDirectory, "PLUGIN\\PSEMU\\")) return -1;

    // The host is told no size; give it the same room as every other path-sized buffer, and
    // never read past it whatever it wrote.
    char name[kPathSize] = {};
    if (record->ReadConfig != nullptr) record->ReadConfig(kConfigSection, kConfigKey, name);
    name[kPathSize - 1] = '\0';
    if (!JoinPath(path, path, name)) return -1;

    // No stored name leaves the path at the directory, which does not load.
    if (LoadCdrDriver(openDriver, path) != 0) return -1;
    // Without these four the driver cannot serve a single read: refuse it now rather than at
    // the host's first sector.
    if (openDriver.CDRinit == nullptr || openDriver.CDRopen == nullptr ||
        openDriver.CDRreadTrack == nullptr || openDriver.CDRgetBuffer == nullptr) {
        UnloadCdrDriver(openDriver);
        return -1;
    }
    if (openDriver.CDRinit() != 0) {
        UnloadCdrDriver(openDriver);
        return -1;
    }
    // A driver whose open fails is unloaded without its shutdown, as drivers of this interface
    // have always been.
    if (openDriver.CDRopen() != 0) {
        UnloadCdrDriver(openDriver);
        return -1;
    }
    driverOpen = 1;
    return 0;
}

void CD_Close(void) {
    if (driverOpen != 0) closeOpenDriver();
}

uint8_t* CD_Read(const uint8_t* time) {
    // The slot is empty before a successful CD_Open and after CD_Close.
    if (time == nullptr || openDriver.CDRreadTrack == nullptr ||
        openDriver.CDRgetBuffer == nullptr) {
        return nullptr;
    }
    uint8_t bcdTime[3] = {toBcd(time[0]), toBcd(time[1]), toBcd(time[2])};
    openDriver.CDRreadTrack(bcdTime);
    // The driver owns the sector buffer; the host reads it until the next read.
    return openDriver.CDRgetBuffer();
}

int32_t CD_GetTN(uint8_t* buffer) {
    // Byte 0 is the host's; the driver reports first and last track from byte 1 on.
    if (buffer == nullptr || openDriver.CDRgetTN == nullptr) return 0;
    openDriver.CDRgetTN(buffer + 1);
    bcdToBinaryInPlace(buffer + 1);
    return 0;
}

int32_t CD_GetTD(uint8_t* buffer, int32_t track) {
    if (buffer == nullptr || openDriver.CDRgetTD == nullptr) return 0;
    openDriver.CDRgetTD(track, buffer + 1);
    // The driver's byte order is kept: the host expects the three bytes as the driver gave them.
    bcdToBinaryInPlace(buffer + 1);
    return 0;
}

// Audio play and stop, wait and seek are not forwarded: the caller cleans the stack under the C
// convention, so whatever the host pushes for them is harmless to ignore.
int32_t CD_Play(void) {
    return 0;
}
int32_t CD_Stop(void) {
    return 0;
}
int32_t CD_Wait(void) {
    return 0;
}
void CD_GetSeek(void) {}

int32_t CD_Configure(HostInfoRecord* record) {
    hostRecord = record;
    const HWND owner = record != nullptr ? record->ParentWindow : nullptr;
    DialogBoxParamA(moduleHandle, MAKEINTRESOURCEA(IDD_CDFERRO_CONFIG), owner, ConfigDialogProc, 0);
    return 0;
}

void CD_About(void* destination) {
    if (destination != nullptr) std::memcpy(destination, &kAboutRecord, sizeof kAboutRecord);
}

}  // extern "C"
