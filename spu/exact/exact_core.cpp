// ExactCore's public calls: construction, the register and transfer entry points, CD audio,
// frame production and the save image. The tick itself is in exact_tick.cpp.
#include "exact_core.h"

#include <cstring>

#include "exact_core_impl.h"
#include "open_readings.h"

namespace {
constexpr uint32_t kOffsetMask = 0xFFF;
}  // namespace

const size_t ExactCore::kStateBytes = sizeof(ChipState);

ExactCore::Impl::Impl(int32_t xaBufferSizeKiB) : cd(xaBufferSizeKiB) {
    state.noise.lfsr = open_readings::kNoiseInitialLfsr;
    for (VoiceState& v : state.voices) refreshEnvelopeRate(v);
}

ExactCore::ExactCore(int32_t xaBufferSizeKiB) : impl(new Impl(xaBufferSizeKiB)) {}

ExactCore::~ExactCore() {
    delete impl;
}

void ExactCore::writeRegister(uint32_t address, uint32_t value) {
    impl->writeRegister(address & kOffsetMask, static_cast<uint16_t>(value & 0xFFFF));
}

uint16_t ExactCore::readRegister(uint32_t address) {
    return impl->readRegister(address & kOffsetMask);
}

void ExactCore::writeDataPort(uint16_t value) {
    impl->state.transfer.write(impl->state.soundRam, impl->state.irq, value);
}

uint16_t ExactCore::readDataPort() {
    return impl->state.transfer.read(impl->state.soundRam, impl->state.irq);
}

void ExactCore::writeBlock(const uint16_t* source, int32_t count) {
    if (source == nullptr) return;
    ChipState& s = impl->state;
    for (int32_t i = 0; i < count; ++i) s.transfer.write(s.soundRam, s.irq, source[i]);
}

void ExactCore::readBlock(uint16_t* destination, int32_t count) {
    if (destination == nullptr) return;
    ChipState& s = impl->state;
    for (int32_t i = 0; i < count; ++i) destination[i] = s.transfer.read(s.soundRam, s.irq);
}

void ExactCore::feedCdAudio(const XaDecodeRecord* record) {
    impl->cd.feed(record);
}

void ExactCore::feedCdDigitalAudio(const int16_t* frames, int32_t frameCount) {
    impl->cd.feedStereoFrames(frames, frameCount);
}

void ExactCore::produceFrames(uint8_t* out, int32_t frameCount) {
    if (out == nullptr) return;
    for (int32_t i = 0; i < frameCount; ++i) {
        int16_t frame[2];
        impl->tick(frame[0], frame[1]);
        std::memcpy(out + static_cast<size_t>(i) * 4, frame, 4);  // x86: already little-endian
    }
}

void ExactCore::runTicks(int32_t ticks) {
    int16_t left = 0;
    int16_t right = 0;
    for (int32_t i = 0; i < ticks; ++i) impl->tick(left, right);
}

bool ExactCore::takeInterruptRise() {
    IrqComparator& irq = impl->state.irq;
    const bool rose = irq.risePending != 0;
    irq.risePending = 0;
    return rose;
}

void ExactCore::saveState(uint8_t* image) const {
    std::memcpy(image, &impl->state, sizeof(ChipState));
}

void ExactCore::loadState(const uint8_t* image) {
    std::memcpy(&impl->state, image, sizeof(ChipState));
    impl->sanitizeAfterLoad();
}

uint8_t* ExactCore::soundRamBytes() {
    return impl->state.soundRam;
}
