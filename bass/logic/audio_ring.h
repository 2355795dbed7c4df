#pragma once
// Decoded audio on its way from the decode thread (the only producer) to the
// output thread (the only consumer), without a lock: the output thread must
// never wait behind a decoder.
//
// Positions are frames of the stream. The consumer keeps some frames behind
// the next one out, so that a pause can give back what was queued but not
// heard. A move to a frame outside what the ring holds is the consumer's
// request and the producer's work: until the producer has moved its decoder
// and emptied the ring at the new frame, the consumer sees nothing to read.

#include <atomic>
#include <cstdint>
#include <memory>

class AudioRing {
public:
    AudioRing(uint32_t channels, uint32_t capacityFrames, uint64_t startFrame = 0);
    uint32_t Channels() const { return ChannelCount; }
    uint32_t Capacity() const { return CapacityFrames; }

    // ---- Producer (decode thread) ----
    // True once, for each move the consumer asked for since the last answer;
    // the producer seeks to *frame and then calls CompleteMove.
    bool TakeMove(uint64_t* frame);
    // The ring is empty at frame from now on; the consumer reads from there.
    void CompleteMove(uint64_t frame);
    uint64_t WriteFrame() const { return Written.load(std::memory_order_relaxed); }
    uint32_t Free() const;
    // Copies up to frames; returns how many fitted.
    uint32_t Write(const float* samples, uint32_t frames);
    // A move was asked for and not yet taken.
    bool MovePending() const { return MoveAsked.load(std::memory_order_acquire) != MoveTaken; }
    // The source has nothing past what was written.
    void MarkEnd() { End.store(Written.load(std::memory_order_relaxed), std::memory_order_release); }

    // ---- Consumer (output thread) ----
    // The next frame out is frame: at once when the ring holds it (or it is
    // where the producer writes next), else a move is asked for. False while a
    // move is under way.
    bool MoveTo(uint64_t frame);
    bool Moving() const;
    uint64_t ReadFrame() const { return ReadAt; }
    uint32_t Available() const;
    // Copies up to frames (out nullptr: skips them); returns how many.
    uint32_t Read(float* out, uint32_t frames);
    // True when the producer has written all the source holds.
    bool SourceEnded() const;
    // True when the source ended and everything was read.
    bool AtEnd() const;
    // Lets the producer reuse what lies more than keepFrames behind the next frame out.
    void Release(uint32_t keepFrames);

private:
    bool SettleMove() const;  // consumer: picks up a finished move

    uint32_t ChannelCount;
    uint32_t CapacityFrames;
    std::unique_ptr<float[]> Samples;
    static constexpr uint64_t NoEnd = ~uint64_t{0};
    std::atomic<uint64_t> Written;   // producer: frames before this are readable
    std::atomic<uint64_t> Released;  // consumer: frames before this may be overwritten
    std::atomic<uint64_t> End{NoEnd};
    std::atomic<uint64_t> MoveTarget{0};
    std::atomic<uint32_t> MoveAsked{0}, MoveDone{0};
    uint32_t MoveTaken = 0;        // producer's own: the last request it took
    mutable uint64_t ReadAt;       // consumer's own
    mutable bool Waiting = false;  // consumer's own: a move it asked for is not done
};
