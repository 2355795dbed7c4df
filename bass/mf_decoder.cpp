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
#include "bass/com_ref.h"
#include "bass/decoder.h"
#include "bass/logic/sample_convert.h"

namespace {

constexpr double HundredNsPerSecond = 1e7;
constexpr DWORD FirstAudio = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);
constexpr DWORD AllStreams = static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS);
constexpr DWORD MediaSource = static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE);
constexpr UINT32 PcmBits = 16;
constexpr UINT32 FloatBits = 32;
constexpr UINT32 MaxChannels = 8;
constexpr uint64_t MaxSeekGapSeconds = 2;  // more than any real container's seek granularity

using MFStartupFn = HRESULT(WINAPI*)(ULONG, DWORD);
using MFCreateMediaTypeFn = HRESULT(WINAPI*)(IMFMediaType**);
using MFCreateSourceReaderFromURLFn = HRESULT(WINAPI*)(LPCWSTR, IMFAttributes*, IMFSourceReader**);

MFCreateMediaTypeFn gMfCreateMediaType = nullptr;
MFCreateSourceReaderFromURLFn gMfCreateSourceReaderFromUrl = nullptr;
std::once_flag gMfStartOnce;
bool gMfStarted = false;

// What the reader gives at a time: its rate, channels and sample type.
struct MfFormat {
    uint32_t SampleRate = 0;
    uint32_t Channels = 0;
    bool Float = false;
};

bool ReadFormat(IMFMediaType* type, MfFormat* format) {
    GUID subtype{};
    if (FAILED(type->GetGUID(MF_MT_SUBTYPE, &subtype))) return false;
    UINT32 bits = MFGetAttributeUINT32(type, MF_MT_AUDIO_BITS_PER_SAMPLE, 0);
    format->SampleRate = MFGetAttributeUINT32(type, MF_MT_AUDIO_SAMPLES_PER_SECOND, 0);
    format->Channels = MFGetAttributeUINT32(type, MF_MT_AUDIO_NUM_CHANNELS, 0);
    format->Float = subtype == MFAudioFormat_Float;
    bool pcm16 = subtype == MFAudioFormat_PCM && bits == PcmBits;
    return (format->Float ? bits == FloatBits : pcm16) && format->SampleRate != 0 && format->Channels != 0 &&
           format->Channels <= MaxChannels;
}

class MfDecoder final : public Decoder {
public:
    // Takes a reference of its own to reader.
    MfDecoder(IMFSourceReader* reader, const MfFormat& format)
        : Opened(format), Current(format), Converter(format.SampleRate, format.Channels) {
        reader->AddRef();
        *Reader.Put() = reader;
    }

    uint32_t Read(float* samples, uint32_t frames) override {
        uint32_t done = 0;
        while (done < frames) {
            if (PendingPos == Pending.size() && !FetchSample()) break;
            size_t take = std::min<size_t>(size_t{frames - done} * Opened.Channels, Pending.size() - PendingPos);
            std::memcpy(samples + size_t{done} * Opened.Channels, Pending.data() + PendingPos, take * sizeof(float));
            PendingPos += take;
            done += static_cast<uint32_t>(take / Opened.Channels);
        }
        return done;
    }

    bool Seek(uint64_t frame) override {
        PROPVARIANT at;
        PropVariantInit(&at);
        at.vt = VT_I8;
        // Rounded up: a reader that cuts its first buffer at the time itself
        // (Wine's, through GStreamer) keeps the frame that time falls inside,
        // and a time rounded down falls inside the frame before the target.
        at.hVal.QuadPart = static_cast<LONGLONG>(std::ceil(static_cast<double>(frame) * HundredNsPerSecond / Opened.SampleRate));
        HRESULT hr = Reader->SetCurrentPosition(GUID_NULL, at);
        Pending.clear();
        PendingPos = 0;
        Converter.Reset();
        Ended = FAILED(hr);
        SeekTarget = frame;
        Seeking = true;
        return SUCCEEDED(hr);
    }

    // Reads ahead one sample so that a file the reader accepted but cannot
    // decode (a damaged MP3) is refused at creation.
    bool Probe() { return FetchSample(); }

private:
    // Replaces Pending with the next decoded sample, in the opening format; false at the end.
    bool FetchSample() {
        Pending.clear();
        PendingPos = 0;
        while (!Ended) {
            DWORD flags = 0;
            LONGLONG timestamp = 0;
            ComRef<IMFSample> sample;
            HRESULT hr = Reader->ReadSample(FirstAudio, 0, nullptr, &flags, &timestamp, sample.Put());
            if (FAILED(hr) || (flags & (MF_SOURCE_READERF_ENDOFSTREAM | MF_SOURCE_READERF_ERROR))) Ended = true;
            if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) {
                // A stream that changes rate or channels mid-way (joined files):
                // it is converted to the format the stream was opened with.
                ComRef<IMFMediaType> type;
                MfFormat changed;
                if (FAILED(Reader->GetCurrentMediaType(FirstAudio, type.Put())) || !ReadFormat(type.Get(), &changed)) {
                    Ended = true;
                    continue;
                }
                Current = changed;
            }
            if (!sample) continue;
            ComRef<IMFMediaBuffer> media;
            if (FAILED(sample->ConvertToContiguousBuffer(media.Put()))) continue;
            BYTE* data = nullptr;
            DWORD length = 0;
            if (FAILED(media->Lock(&data, nullptr, &length))) continue;
            size_t count = length / (Current.Float ? sizeof(float) : sizeof(int16_t));
            count -= count % Current.Channels;
            Decoded.resize(count);
            if (Current.Float) {
                std::memcpy(Decoded.data(), data, count * sizeof(float));
            } else {
                Int16ToFloat(reinterpret_cast<const int16_t*>(data), Decoded.data(), count);
            }
            media->Unlock();
            Converter.Convert(Decoded, Current.SampleRate, Current.Channels, &Converted);
            const std::vector<float>& frames = Converter.Passes(Current.SampleRate, Current.Channels) ? Decoded : Converted;

            size_t skip = 0, silence = 0;
            if (Seeking && timestamp >= 0) {
                // The reader lands on a point before the target (drop the lead-in) or,
                // in some containers, after it (fill the gap with silence, so that
                // positions stay the media's own times).
                uint64_t start = static_cast<uint64_t>(std::llround(timestamp * Opened.SampleRate / HundredNsPerSecond));
                uint64_t maxGap = uint64_t{Opened.SampleRate} * MaxSeekGapSeconds;
                if (start < SeekTarget) skip = static_cast<size_t>(std::min<uint64_t>((SeekTarget - start) * Opened.Channels, frames.size()));
                if (start > SeekTarget) silence = static_cast<size_t>(std::min(start - SeekTarget, maxGap) * Opened.Channels);
            }
            Pending.assign(silence, 0.0f);
            Pending.insert(Pending.end(), frames.begin() + static_cast<std::ptrdiff_t>(skip), frames.end());
            if (!Pending.empty()) {
                Seeking = false;
                return true;
            }
        }
        return false;
    }

    ComRef<IMFSourceReader> Reader;
    MfFormat Opened;   // what the stream was told, and keeps
    MfFormat Current;  // what the reader gives now
    FormatConverter Converter;
    std::vector<float> Decoded, Converted, Pending;
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

    // Float at the file's own rate and channel count, so that 24-bit and
    // float sources keep their resolution; 16-bit PCM where the system
    // decodes to nothing else.
    ComRef<IMFMediaType> native;
    if (FAILED(reader->GetNativeMediaType(FirstAudio, 0, native.Put()))) return info;
    UINT32 rate = MFGetAttributeUINT32(native.Get(), MF_MT_AUDIO_SAMPLES_PER_SECOND, 0);
    UINT32 channels = MFGetAttributeUINT32(native.Get(), MF_MT_AUDIO_NUM_CHANNELS, 0);
    UINT32 nativeBits = MFGetAttributeUINT32(native.Get(), MF_MT_AUDIO_BITS_PER_SAMPLE, 0);
    UINT32 mask = MFGetAttributeUINT32(native.Get(), MF_MT_AUDIO_CHANNEL_MASK, 0);
    GUID nativeSubtype{};
    native->GetGUID(MF_MT_SUBTYPE, &nativeSubtype);
    bool accepted = false;
    for (bool isFloat : {true, false}) {
        ComRef<IMFMediaType> wanted;
        if (FAILED(gMfCreateMediaType(wanted.Put()))) return info;
        wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
        wanted->SetGUID(MF_MT_SUBTYPE, isFloat ? MFAudioFormat_Float : MFAudioFormat_PCM);
        wanted->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, isFloat ? FloatBits : PcmBits);
        if (rate) wanted->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, rate);
        if (channels) wanted->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, channels);
        if (SUCCEEDED(reader->SetCurrentMediaType(FirstAudio, nullptr, wanted.Get()))) {
            accepted = true;
            break;
        }
    }
    if (!accepted) return info;
    ComRef<IMFMediaType> actual;
    MfFormat format;
    if (FAILED(reader->GetCurrentMediaType(FirstAudio, actual.Put())) || !ReadFormat(actual.Get(), &format)) return info;
    rate = format.SampleRate;
    channels = format.Channels;

    // The length is the media's own duration: no scan through the file.
    PROPVARIANT duration;
    PropVariantInit(&duration);
    if (FAILED(reader->GetPresentationAttribute(MediaSource, MF_PD_DURATION, &duration))) return info;
    uint64_t hundredNs = duration.vt == VT_UI8 ? duration.uhVal.QuadPart : 0;
    PropVariantClear(&duration);
    if (hundredNs == 0) return info;
    uint64_t frames = static_cast<uint64_t>(static_cast<double>(hundredNs) * rate / HundredNsPerSecond);

    auto decoder = std::make_unique<MfDecoder>(reader.Get(), format);
    if (!decoder->Probe()) return info;
    info.Source = std::move(decoder);
    info.SampleRate = rate;
    info.Channels = channels;
    info.ChannelMask = mask;
    // Lossless and PCM sources above 16 bits, and every float source.
    info.HighResolution = nativeBits > PcmBits || nativeSubtype == MFAudioFormat_Float;
    info.Frames = frames;
    info.ErrorCode = 0;
    return info;
}
