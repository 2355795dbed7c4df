#include "bass/logic/audio_ring.h"

#include <algorithm>
#include <cstring>

AudioRing::AudioRing(uint32_t channels, uint32_t capacityFrames, uint64_t startFrame)
    : ChannelCount(std::max<uint32_t>(channels, 1)), CapacityFrames(std::max<uint32_t>(capacityFrames, 1)),
      Samples(new float[size_t{CapacityFrames} * ChannelCount]()), Written(startFrame), Released(startFrame),
      ReadAt(startFrame) {}

bool AudioRing::TakeMove(uint64_t* frame) {
    uint32_t asked = MoveAsked.load(std::memory_order_acquire);
    if (asked == MoveTaken) return false;
    MoveTaken = asked;
    *frame = MoveTarget.load(std::memory_order_relaxed);
    return true;
}

void AudioRing::CompleteMove(uint64_t frame) {
    // The consumer touches nothing while it waits for this answer.
    End.store(NoEnd, std::memory_order_relaxed);
    Released.store(frame, std::memory_order_relaxed);
    Written.store(frame, std::memory_order_relaxed);
    // A newer request answers only when taken: the consumer waits on for it.
    MoveDone.store(MoveTaken, std::memory_order_release);
}

uint32_t AudioRing::Free() const {
    uint64_t used = Written.load(std::memory_order_relaxed) - Released.load(std::memory_order_acquire);
    return used >= CapacityFrames ? 0 : static_cast<uint32_t>(CapacityFrames - used);
}

uint32_t AudioRing::Write(const float* samples, uint32_t frames) {
    frames = std::min(frames, Free());
    uint64_t at = Written.load(std::memory_order_relaxed);
    for (uint32_t done = 0; done < frames;) {
        uint32_t index = static_cast<uint32_t>((at + done) % CapacityFrames);
        uint32_t run = std::min(frames - done, CapacityFrames - index);
        std::memcpy(&Samples[size_t{index} * ChannelCount], samples + size_t{done} * ChannelCount,
                    sizeof(float) * run * ChannelCount);
        done += run;
    }
    Written.store(at + frames, std::memory_order_release);
    return frames;
}

bool AudioRing::SettleMove() const {
    if (!Waiting) return true;
    if (MoveDone.load(std::memory_order_acquire) != MoveAsked.load(std::memory_order_relaxed)) return false;
    Waiting = false;
    ReadAt = MoveTarget.load(std::memory_order_relaxed);
    return true;
}

bool AudioRing::Moving() const { return !SettleMove(); }

bool AudioRing::MoveTo(uint64_t frame) {
    if (SettleMove() && frame >= Released.load(std::memory_order_relaxed) &&
        frame <= Written.load(std::memory_order_acquire)) {
        ReadAt = frame;
        return true;
    }
    MoveTarget.store(frame, std::memory_order_relaxed);
    MoveAsked.store(MoveAsked.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    Waiting = true;
    return false;
}

uint32_t AudioRing::Available() const {
    if (!SettleMove()) return 0;
    uint64_t written = Written.load(std::memory_order_acquire);
    return written > ReadAt ? static_cast<uint32_t>(std::min<uint64_t>(written - ReadAt, CapacityFrames)) : 0;
}

uint32_t AudioRing::Read(float* out, uint32_t frames) {
    frames = std::min(frames, Available());
    for (uint32_t done = 0; out && done < frames;) {
        uint32_t index = static_cast<uint32_t>((ReadAt + done) % CapacityFrames);
        uint32_t run = std::min(frames - done, CapacityFrames - index);
        std::memcpy(out + size_t{done} * ChannelCount, &Samples[size_t{index} * ChannelCount],
                    sizeof(float) * run * ChannelCount);
        done += run;
    }
    ReadAt += frames;
    return frames;
}

bool AudioRing::SourceEnded() const {
    return SettleMove() && End.load(std::memory_order_acquire) != NoEnd;
}

bool AudioRing::AtEnd() const {
    if (!SettleMove()) return false;
    uint64_t end = End.load(std::memory_order_acquire);
    return end != NoEnd && ReadAt >= end;
}

void AudioRing::Release(uint32_t keepFrames) {
    if (!SettleMove()) return;
    uint64_t released = Released.load(std::memory_order_relaxed);
    if (ReadAt > released + keepFrames) Released.store(ReadAt - keepFrames, std::memory_order_release);
}
