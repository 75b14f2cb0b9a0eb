#include "cd_input.h"

void CdInput::pop(int16_t& left, int16_t& right) {
    left = 0;
    right = 0;
    if (!playing) {
        if (stream.framesHeld() == 0) return;  // the wait starts with the first frame
        if (waited < kStartDelayTicks) {
            ++waited;
            return;
        }
        playing = true;
    }
    if (stream.popFrame(left, right)) return;
    // Ran dry: silence from this tick on, and the wait again before the next frames play.
    playing = false;
    waited = 0;
}
