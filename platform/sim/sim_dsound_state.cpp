// The shared state of the simulated DirectSound and the checks that device and buffers share.
#include "sim_dsound_state.h"

namespace sim::detail {

namespace {

// Finishes a capture still running when the process ends, so the WAV header holds the sizes.
// The state itself is left alive for threads that have not been joined.
struct CaptureFinisher {
    ~CaptureFinisher() {
        DsoundState& state = dsoundState();
        std::lock_guard<std::mutex> lock(state.mutex);
        state.capture.finish();
    }
} captureFinisher;

}  // namespace

DsoundState& dsoundState() {
    static DsoundState* state = new DsoundState;
    return *state;
}

HRESULT takeArmedFailure(DsoundState& state, DsoundOperation operation) {
    ArmedFailure& failure = state.failures[static_cast<int>(operation)];
    if (!failure.armed) return S_OK;
    if (!failure.persistent) failure.armed = false;
    return failure.result;
}

HRESULT checkPcmFormat(const WAVEFORMATEX* format) {
    if (format == nullptr) return DSERR_INVALIDPARAM;
    if (format->wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
    const uint32_t channels = format->nChannels;
    const uint32_t bits = format->wBitsPerSample;
    const uint32_t rate = format->nSamplesPerSec;
    if (channels < 1 || channels > 8) return DSERR_INVALIDPARAM;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return DSERR_INVALIDPARAM;
    if (rate < 100 || rate > 200000) return DSERR_INVALIDPARAM;  // DSBFREQUENCY_MIN..MAX
    const uint32_t blockAlign = channels * bits / 8;
    if (format->nBlockAlign != blockAlign || format->nAvgBytesPerSec != blockAlign * rate)
        return DSERR_INVALIDPARAM;
    return DS_OK;
}

}  // namespace sim::detail
