// Decoding through Media Foundation's source reader. mfplat.dll and
// mfreadwrite.dll are bound at run time so that the library still loads
// (and plays WAV) on a system without Media Foundation.

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "bass/bass_api.h"
#include "bass/decoder.h"

namespace {

// Owns one COM reference; the only place in this library that releases one.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { Reset(); }
    T* Get() const { return P; }
    T* operator->() const { return P; }
    explicit operator bool() const { return P != nullptr; }
    T** Put() { Reset(); return &P; }
    void Reset() { if (P) std::exchange(P, nullptr)->Release(); }

private:
    T* P = nullptr;
};

constexpr double HundredNsPerSecond = 1e7;
constexpr DWORD FirstAudio = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);
constexpr DWORD AllStreams = static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS);
constexpr DWORD MediaSource = static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE);
constexpr UINT32 PcmBits = 16;
constexpr UINT32 MaxChannels = 8;
constexpr uint64_t MaxSeekGapSeconds = 2;  // more than any real container's seek granularity

using MFStartupFn = HRESULT(WINAPI*)(ULONG, DWORD);
using MFCreateMediaTypeFn = HRESULT(WINAPI*)(IMFMediaType**);
using MFCreateSourceReaderFromURLFn = HRESULT(WINAPI*)(LPCWSTR, IMFAttributes*, IMFSourceReader**);

MFCreateMediaTypeFn gMfCreateMediaType = nullptr;
MFCreateSourceReaderFromURLFn gMfCreateSourceReaderFromUrl = nullptr;
std::once_flag gMfStartOnce;
bool gMfStarted = false;

class MfDecoder final : public Decoder {
public:
    // Takes a reference of its own to reader.
    MfDecoder(IMFSourceReader* reader, uint32_t rate, uint32_t blockBytes) : SampleRate(rate), BlockBytes(blockBytes) {
        reader->AddRef();
        *Reader.Put() = reader;
    }

    uint32_t Read(uint8_t* buffer, uint32_t bytes) override {
        uint32_t done = 0;
        while (done < bytes) {
            if (PendingPos == Pending.size() && !FetchSample()) break;
            uint32_t take = static_cast<uint32_t>(std::min<size_t>(bytes - done, Pending.size() - PendingPos));
            std::memcpy(buffer + done, Pending.data() + PendingPos, take);
            PendingPos += take;
            done += take;
        }
        return done - done % BlockBytes;
    }

    bool Seek(uint64_t positionBytes) override {
        PROPVARIANT at;
        PropVariantInit(&at);
        at.vt = VT_I8;
        at.hVal.QuadPart = static_cast<LONGLONG>(static_cast<double>(positionBytes / BlockBytes) * HundredNsPerSecond / SampleRate);
        HRESULT hr = Reader->SetCurrentPosition(GUID_NULL, at);
        Pending.clear();
        PendingPos = 0;
        Ended = FAILED(hr);
        SeekTarget = positionBytes;
        Seeking = true;
        return SUCCEEDED(hr);
    }

    // Reads ahead one sample so that a file the reader accepted but cannot
    // decode (a damaged MP3) is refused at creation.
    bool Probe() { return FetchSample(); }

private:
    // Replaces Pending with the next decoded sample; false at the end.
    bool FetchSample() {
        Pending.clear();
        PendingPos = 0;
        while (!Ended) {
            DWORD flags = 0;
            LONGLONG timestamp = 0;
            ComRef<IMFSample> sample;
            HRESULT hr = Reader->ReadSample(FirstAudio, 0, nullptr, &flags, &timestamp, sample.Put());
            if (FAILED(hr) || (flags & (MF_SOURCE_READERF_ENDOFSTREAM | MF_SOURCE_READERF_ERROR))) Ended = true;
            if (!sample) continue;
            ComRef<IMFMediaBuffer> media;
            if (FAILED(sample->ConvertToContiguousBuffer(media.Put()))) continue;
            BYTE* data = nullptr;
            DWORD length = 0;
            if (FAILED(media->Lock(&data, nullptr, &length))) continue;
            size_t skip = 0;
            size_t silence = 0;
            if (Seeking && timestamp >= 0) {
                // The reader lands on a point before the target (drop the lead-in) or,
                // in some containers, after it (fill the gap with silence, so that
                // positions stay the media's own times).
                uint64_t start = static_cast<uint64_t>(std::llround(timestamp * SampleRate / HundredNsPerSecond)) * BlockBytes;
                if (start < SeekTarget) skip = static_cast<size_t>(std::min<uint64_t>(SeekTarget - start, length));
                uint64_t maxGap = uint64_t{SampleRate} * BlockBytes * MaxSeekGapSeconds;
                if (start > SeekTarget) silence = static_cast<size_t>(std::min(start - SeekTarget, maxGap));
            }
            Pending.assign(silence, 0);
            Pending.insert(Pending.end(), data + skip, data + length);
            media->Unlock();
            if (!Pending.empty()) {
                Seeking = false;
                return true;
            }
        }
        return false;
    }

    ComRef<IMFSourceReader> Reader;
    uint32_t SampleRate;
    uint32_t BlockBytes;
    std::vector<uint8_t> Pending;
    size_t PendingPos = 0;
    bool Ended = false;
    bool Seeking = false;
    uint64_t SeekTarget = 0;
};

}  // namespace

bool StartMediaFoundation() {
    std::call_once(gMfStartOnce, [] {
        HMODULE plat = LoadLibraryExW(L"mfplat.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        HMODULE readWrite = LoadLibraryExW(L"mfreadwrite.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!plat || !readWrite) return;
        auto startup = reinterpret_cast<MFStartupFn>(reinterpret_cast<void*>(GetProcAddress(plat, "MFStartup")));
        gMfCreateMediaType = reinterpret_cast<MFCreateMediaTypeFn>(reinterpret_cast<void*>(GetProcAddress(plat, "MFCreateMediaType")));
        gMfCreateSourceReaderFromUrl = reinterpret_cast<MFCreateSourceReaderFromURLFn>(
            reinterpret_cast<void*>(GetProcAddress(readWrite, "MFCreateSourceReaderFromURL")));
        gMfStarted = startup && gMfCreateMediaType && gMfCreateSourceReaderFromUrl &&
                     SUCCEEDED(startup(MF_VERSION, MFSTARTUP_LITE));
    });
    return gMfStarted;
}

DecoderInfo OpenMediaFoundationDecoder(const std::wstring& path) {
    DecoderInfo info;
    info.ErrorCode = BASS_ERROR_FILEFORM;
    if (!StartMediaFoundation()) return info;

    ComRef<IMFSourceReader> reader;
    if (FAILED(gMfCreateSourceReaderFromUrl(path.c_str(), nullptr, reader.Put()))) return info;
    // From here the system recognised the file but cannot decode it.
    info.ErrorCode = BASS_ERROR_CODEC;
    reader->SetStreamSelection(AllStreams, FALSE);
    if (FAILED(reader->SetStreamSelection(FirstAudio, TRUE))) return info;

    // 16-bit PCM at the file's own rate and channel count.
    ComRef<IMFMediaType> native;
    if (FAILED(reader->GetNativeMediaType(FirstAudio, 0, native.Put()))) return info;
    UINT32 rate = MFGetAttributeUINT32(native.Get(), MF_MT_AUDIO_SAMPLES_PER_SECOND, 0);
    UINT32 channels = MFGetAttributeUINT32(native.Get(), MF_MT_AUDIO_NUM_CHANNELS, 0);
    ComRef<IMFMediaType> wanted;
    if (FAILED(gMfCreateMediaType(wanted.Put()))) return info;
    wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    wanted->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
    wanted->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, PcmBits);
    if (rate) wanted->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, rate);
    if (channels) wanted->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, channels);
    if (FAILED(reader->SetCurrentMediaType(FirstAudio, nullptr, wanted.Get()))) return info;
    ComRef<IMFMediaType> actual;
    if (FAILED(reader->GetCurrentMediaType(FirstAudio, actual.Put()))) return info;
    rate = MFGetAttributeUINT32(actual.Get(), MF_MT_AUDIO_SAMPLES_PER_SECOND, 0);
    channels = MFGetAttributeUINT32(actual.Get(), MF_MT_AUDIO_NUM_CHANNELS, 0);
    UINT32 bits = MFGetAttributeUINT32(actual.Get(), MF_MT_AUDIO_BITS_PER_SAMPLE, 0);
    if (rate == 0 || channels == 0 || channels > MaxChannels || bits != PcmBits) return info;

    // The length is the media's own duration: no scan through the file.
    PROPVARIANT duration;
    PropVariantInit(&duration);
    if (FAILED(reader->GetPresentationAttribute(MediaSource, MF_PD_DURATION, &duration))) return info;
    uint64_t hundredNs = duration.vt == VT_UI8 ? duration.uhVal.QuadPart : 0;
    PropVariantClear(&duration);
    if (hundredNs == 0) return info;
    uint32_t blockBytes = channels * (PcmBits / 8);
    uint64_t frames = static_cast<uint64_t>(static_cast<double>(hundredNs) * rate / HundredNsPerSecond);

    auto decoder = std::make_unique<MfDecoder>(reader.Get(), rate, blockBytes);
    if (!decoder->Probe()) return info;
    info.Source = std::move(decoder);
    info.SampleRate = rate;
    info.Channels = channels;
    info.LengthBytes = frames * blockBytes;
    info.ErrorCode = 0;
    return info;
}
