#pragma once
// The simulated platform that the native tests, the fuzzers and spu-play run the plug-ins on,
// and its controls: for tests and tools only, product code never includes this. The simulation
// is the Linux platform layer (platform/linux) with a simulated DirectSound device in place of
// the SDL2 one: a play cursor under a test's control or the clock, failure and lost-buffer
// injection, and a WAV capture of what the cursor plays. Everything here acts on the one
// instance inside libwin32_sim.so, which the plug-ins loaded with dlopen share with the test
// that steers them.
#include <cstdint>
#include <string>
#include <vector>

#include "linux/dialog_records.h"
#include "linux/platform_records.h"
#include "win32_types.h"

namespace sim {

// The records of the platform layer itself (threads, message boxes, timer calls, library loading,
// dialogs) are reached here too, as sim::threadsCreated() and so on.
using namespace linux_platform;

// ---- DirectSound ----------------------------------------------------------------------------
// Clock: the play cursor of a playing buffer advances with the wall clock, 44100 frames a second.
// Manual: it moves only when a test moves it.
enum class CursorMode { Clock, Manual };
void dsoundSetCursorMode(CursorMode mode);
// Manual mode, the playing streaming (secondary) buffer: absolute position or relative advance,
// both taken modulo the buffer size. What the cursor passes is appended to the capture.
void dsoundSetPlayCursor(uint32_t byteOffset);
void dsoundAdvancePlayCursor(uint32_t bytes);

// Failure injection. Operation names: "DirectSoundCreate", "SetCooperativeLevel",
// "CreateSoundBuffer.primary", "CreateSoundBuffer.stream", "Lock". The next call (or every call
// while `persistent`) of that operation returns hr and creates nothing. An hr that is not a
// failure (DS_OK) clears what is armed for that operation. An unknown operation name is a fault
// in the test: it is reported on stderr and the process aborts.
void dsoundFailOperation(const std::string& operation, HRESULT hr, bool persistent = false);
// While set, Lock on the streaming buffer returns DSERR_BUFFERLOST.
void dsoundSetBufferLost(bool lost);

// Capture what the play cursor of the streaming buffer passes into a 44100 Hz 16-bit stereo
// WAV file; the file is finished when the buffer is released or on dsoundStopCapture().
void dsoundCaptureToWav(const std::string& path);
void dsoundStopCapture();

struct DsoundStats {
    int directSoundObjectsAlive = 0;   // created and not yet released
    int buffersAlive = 0;              // primary and secondary
    int directSoundCreateCalls = 0;
    int lockCalls = 0;                 // on the streaming buffer
    int unlockCalls = 0;
    int getCurrentPositionCalls = 0;   // one per streaming pass
    uint32_t lastLockOffset = 0;
    uint32_t lastLockBytes = 0;
    uint32_t streamBufferBytes = 0;    // size of the last streaming buffer created
    DWORD lastStreamFlags = 0;         // dwFlags of the last streaming buffer descriptor
    DWORD lastCooperativeLevel = 0;
    bool streamPlaying = false;
    bool streamLooping = false;
    // Format last set on the primary buffer.
    WORD primaryChannels = 0;
    DWORD primarySamplesPerSec = 0;
    WORD primaryBitsPerSample = 0;
};
DsoundStats dsoundStats();
// Bytes of the current (or last) streaming buffer as written by the plug-in. The plug-in writes
// into locked memory without the simulation's lock, so read this while no pass is writing.
std::vector<uint8_t> dsoundStreamBufferContents();
// Blocks until the streaming buffer has seen `passes` more GetCurrentPosition calls than when
// called, or the timeout passes; returns whether they happened.
bool dsoundWaitForPasses(int passes, int timeoutMs = 5000);
// Back to Clock mode, no armed failure, no lost buffer, capture finished, call counters and the
// "last" fields zero, the timer call counts zero. Objects the plug-in still holds stay valid and
// are still counted as alive.
void dsoundReset();

// ---- Registry (in-process, HKEY_CURRENT_USER only) ------------------------------------------
void registryReset();
bool registryKeyExists(const std::string& subkey);
// Reads a value: returns false when the key or value does not exist.
bool registryGetValue(const std::string& subkey, const std::string& name, DWORD* type,
                      std::vector<uint8_t>* data);
void registrySetValue(const std::string& subkey, const std::string& name, DWORD type,
                      const std::vector<uint8_t>& data);
void registrySetDword(const std::string& subkey, const std::string& name, DWORD value);
int registryWriteCount();              // RegSetValueExA calls since the last reset
// The file in which a plug-in's settings key lives (spuTarn's unless another key is named). The
// first registryReset() of a process points XDG_CONFIG_HOME at a fresh temporary directory, so
// no test touches the user's own settings; registryReset() also deletes the files there.
std::string settingsFilePath(
    const std::string& keyPath = "Software\\Vision Thing\\PSEmu Pro\\SPU\\spuTarn");
// Every call of "RegCreateKeyExA" or "RegQueryValueExA" returns `status` (and yields nothing)
// until it is set back to ERROR_SUCCESS or registryReset(). An unknown name aborts: a misspelt
// one would silently test nothing.
void registryFailOperation(const std::string& operation, LSTATUS status);


}  // namespace sim
