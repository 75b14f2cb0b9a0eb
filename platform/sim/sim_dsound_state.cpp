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


}  // namespace sim::detail
