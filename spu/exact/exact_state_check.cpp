// A loaded save image is trusted for values, never for indices: whatever a damaged or hostile
// image holds, every address, position and table index the tick uses is brought back inside
// its range, and every rate is worked out again from its register (so the rates of a good
// image come back exactly as saved and the image continues bit for bit).
#include "exact_core_impl.h"

namespace {

constexpr uint32_t kRamMask = ChipState::kRamBytes - 1;
constexpr uint32_t kBlockSpan = static_cast<uint32_t>(kSamplesPerBlock) << 12;

int32_t clampLevel(int32_t v, int32_t low, int32_t high) {
    return v < low ? low : (v > high ? high : v);
}

void restoreVolume(VolumeChannel& c) {
    const uint32_t counter = c.counter & 0x7FFFu;
    const int32_t level = clampLevel(c.level, -0x8000, 0x7FFF);
    c.write(c.reg);
    c.counter = counter;
    c.level = level;
}

}  // namespace

void ExactCore::Impl::sanitizeAfterLoad() {
    ChipState& s = state;
    for (VoiceState& v : s.voices) {
        v.blockByte &= kRamMask & ~(kBlockBytes - 1);
        v.nextBlockByte &= kRamMask & ~(kBlockBytes - 1);
        v.position %= kBlockSpan;
        if (static_cast<uint8_t>(v.phase) > static_cast<uint8_t>(AdsrPhase::Release)) {
            v.phase = AdsrPhase::Release;
        }
        v.envelope = clampLevel(v.envelope, 0, 0x7FFF);
        v.envelopeCounter &= 0x7FFFu;
        v.history.old = clampLevel(v.history.old, -0x8000, 0x7FFF);
        v.history.older = clampLevel(v.history.older, -0x8000, 0x7FFF);
        v.output = clampLevel(v.output, -0x8000, 0x7FFF);
        refreshEnvelopeRate(v);
        restoreVolume(v.volumeLeft);
        restoreVolume(v.volumeRight);
    }
    restoreVolume(s.mainLeft);
    restoreVolume(s.mainRight);
    s.noise.setControl(s.control);  // shift and step from SPUCNT; the timer as saved
    s.noise.timer = clampLevel(s.noise.timer, -0x20000, 0x20000);
    s.transfer.byteAddress &= kRamMask & ~1u;
    s.capture.slot %= CaptureWriter::kSlots;
    s.cdVolumeLeft = static_cast<int16_t>(s.cdVolumeLeft);
    s.cdVolumeRight = static_cast<int16_t>(s.cdVolumeRight);
    s.reverb.unit.afterStateLoad();  // offsets from its registers, positions inside their rings
}
