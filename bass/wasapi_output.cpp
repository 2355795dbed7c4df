// The system's output through WASAPI in shared mode, event driven: the
// platform's own audio path since Vista (waveOut is emulated over it), and
// under Wine a thin layer over PulseAudio or ALSA.

#include <audioclient.h>
#include <mmdeviceapi.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "bass/com_ref.h"
#include "bass/logic/output_rules.h"
#include "bass/logic/sample_convert.h"
#include "bass/output_device.h"

namespace {

constexpr REFERENCE_TIME HundredNsPerMs = 10000;
// What the device holds for us: room for the stream's deep queue, which
// rides out a late turn (the volume does not wait behind it: the mixer
// applies it), and slack above that.
constexpr REFERENCE_TIME BufferDuration = 300 * HundredNsPerMs;
constexpr DWORD StreamFlags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_NOPERSIST;
// The system converts rate and layout where the engine's mix format differs
// (Windows 7 on); older systems refuse the flags, and are asked without them.
constexpr DWORD ConvertFlags = AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY;

// KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT: the format tag in a fixed GUID.
constexpr GUID SubtypeOf(WORD tag) { return {tag, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}}; }
constexpr WORD TagPcm = 1;
constexpr WORD TagFloat = 3;

WAVEFORMATEXTENSIBLE MakeFormat(uint32_t rate, uint32_t channels, uint32_t mask, bool isFloat) {
    WAVEFORMATEXTENSIBLE f{};
    WORD bits = isFloat ? 32 : 16;
    f.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    f.Format.nChannels = static_cast<WORD>(channels);
    f.Format.nSamplesPerSec = rate;
    f.Format.wBitsPerSample = bits;
    f.Format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.Format.nAvgBytesPerSec = rate * f.Format.nBlockAlign;
    f.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    f.Samples.wValidBitsPerSample = bits;
    f.dwChannelMask = mask;
    f.SubFormat = SubtypeOf(isFloat ? TagFloat : TagPcm);
    return f;
}

ComRef<IMMDeviceEnumerator> MakeEnumerator() {
    ComRef<IMMDeviceEnumerator> enumerator;
    CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                     reinterpret_cast<void**>(enumerator.Put()));
    return enumerator;
}

ComRef<IMMDevice> DefaultDevice(IMMDeviceEnumerator* enumerator) {
    ComRef<IMMDevice> device;
    if (enumerator) enumerator->GetDefaultAudioEndpoint(eRender, eMultimedia, device.Put());
    return device;
}

std::wstring IdOf(IMMDevice* device) {
    LPWSTR id = nullptr;
    if (!device || FAILED(device->GetId(&id)) || !id) return {};
    std::wstring result(id);
    CoTaskMemFree(id);
    return result;
}

class WasapiDevice final : public OutputDevice {
public:
    ~WasapiDevice() override {
        if (Client) Client->Stop();
        if (Event) CloseHandle(Event);
    }

    // One try of one format; false leaves nothing behind.
    bool Open(IMMDevice* device, const DeviceFormat& format, uint32_t mask) {
        Event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!Event) return false;
        WAVEFORMATEXTENSIBLE wanted = MakeFormat(format.SampleRate, format.Channels, mask, format.Float);
        bool initialised = false;
        for (DWORD flags : {StreamFlags | ConvertFlags, StreamFlags}) {
            // A client whose Initialize failed is not asked again.
            if (FAILED(device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, reinterpret_cast<void**>(Client.Put()))))
                return false;
            if (SUCCEEDED(Client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, BufferDuration, 0,
                                             reinterpret_cast<WAVEFORMATEX*>(&wanted), nullptr))) {
                initialised = true;
                break;
            }
        }
        if (!initialised || FAILED(Client->SetEventHandle(Event)) || FAILED(Client->GetBufferSize(&BufferFrames)) ||
            FAILED(Client->GetService(__uuidof(IAudioRenderClient), reinterpret_cast<void**>(Render.Put()))) ||
            FAILED(Client->GetService(__uuidof(IAudioClock), reinterpret_cast<void**>(Clock.Put()))) ||
            FAILED(Client->GetService(__uuidof(IAudioStreamVolume), reinterpret_cast<void**>(Volume.Put()))) ||
            FAILED(Clock->GetFrequency(&ClockFrequency)) || ClockFrequency == 0) {
            Client.Reset();
            return false;
        }
        Fmt = format;
        FrameBytes = format.Channels * (format.Float ? 4 : 2);
        DeviceId = IdOf(device);
        return true;
    }

    const DeviceFormat& Format() const override { return Fmt; }
    bool WaitReady(uint32_t timeoutMs) override { return WaitForSingleObject(Event, timeoutMs) == WAIT_OBJECT_0; }
    std::wstring Id() const override { return DeviceId; }
    bool Start() override { return SUCCEEDED(Client->Start()); }
    bool Stop() override { return SUCCEEDED(Client->Stop()); }
    bool Reset() override { return SUCCEEDED(Client->Reset()); }
    bool Capacity(uint32_t* frames) override {
        *frames = BufferFrames;
        return true;
    }
    bool Queued(uint32_t* frames) override {
        UINT32 padding = 0;
        if (FAILED(Client->GetCurrentPadding(&padding))) return false;
        *frames = padding;
        return true;
    }
    bool Write(const void* samples, uint32_t frames) override {
        BYTE* data = nullptr;
        if (FAILED(Render->GetBuffer(frames, &data))) return false;
        std::memcpy(data, samples, size_t{frames} * FrameBytes);
        return SUCCEEDED(Render->ReleaseBuffer(frames, 0));
    }
    bool Played(uint64_t* frames) override {
        UINT64 position = 0;
        if (FAILED(Clock->GetPosition(&position, nullptr))) return false;
        *frames = TicksToFrames(position, ClockFrequency, Fmt.SampleRate);
        return true;
    }
    bool SetVolume(float gain) override {
        Gains.assign(Fmt.Channels, std::clamp(gain, 0.0f, 1.0f));
        return SUCCEEDED(Volume->SetAllVolumes(static_cast<UINT32>(Gains.size()), Gains.data()));
    }
    uint32_t LatencyFrames() override {
        REFERENCE_TIME latency = 0;
        if (FAILED(Client->GetStreamLatency(&latency)) || latency < 0) return 0;
        return static_cast<uint32_t>(TicksToFrames(static_cast<uint64_t>(latency), 10000000, Fmt.SampleRate));
    }

private:
    ComRef<IAudioClient> Client;
    ComRef<IAudioRenderClient> Render;
    ComRef<IAudioClock> Clock;
    ComRef<IAudioStreamVolume> Volume;
    std::vector<float> Gains;
    HANDLE Event = nullptr;
    DeviceFormat Fmt;
    UINT32 BufferFrames = 0;
    UINT64 ClockFrequency = 0;
    uint32_t FrameBytes = 0;
    std::wstring DeviceId;
};

// Tells the watcher at once when the user picks another default output or
// plugs in headphones; the other notices are not needed.
class DefaultChangeNotice final : public IMMNotificationClient {
public:
    explicit DefaultChangeNotice(HANDLE changed) : Changed(changed) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
            *object = static_cast<IMMNotificationClient*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives as long as the process: the enumerator may call it at any time.
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole, LPCWSTR) override {
        if (flow == eRender) SetEvent(Changed);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

private:
    HANDLE Changed;
};

class WasapiBackend final : public OutputBackend {
public:
    std::unique_ptr<OutputDevice> OpenDefault(const SourceFormat& source) override {
        ComRef<IMMDeviceEnumerator> enumerator = MakeEnumerator();
        ComRef<IMMDevice> device = DefaultDevice(enumerator.Get());
        if (!device) return nullptr;
        uint32_t mask = source.ChannelMask ? source.ChannelMask : DefaultChannelMask(source.Channels);
        // The source's own layout first; a device that refuses it gets stereo
        // (the stream folds the channels down). Float keeps what 24-bit and
        // float sources hold and lets volume be applied without rounding.
        struct Try {
            uint32_t Channels, Mask;
        };
        std::vector<Try> layouts = {{source.Channels, mask}};
        if (source.Channels > 2) layouts.push_back({2, DefaultChannelMask(2)});
        for (const Try& layout : layouts) {
            for (bool isFloat : {true, false}) {
                auto opened = std::make_unique<WasapiDevice>();
                if (opened->Open(device.Get(), {source.SampleRate, layout.Channels, isFloat}, layout.Mask)) return opened;
            }
        }
        return nullptr;
    }

    // Asked again and again by one thread, the watcher: its enumerator is
    // kept, since making one lists every device again, which under Wine holds
    // up the sound of every stream while it runs.
    std::wstring DefaultId() override {
        std::lock_guard<std::mutex> lock(WatchLock);
        WatchLocked();
        return IdOf(DefaultDevice(Watching.Get()).Get());
    }

    void WaitForDefaultChange(uint32_t timeoutMs) override {
        HANDLE changed;
        {
            std::lock_guard<std::mutex> lock(WatchLock);
            WatchLocked();
            changed = Changed;
        }
        if (changed) WaitForSingleObject(changed, timeoutMs);
        else Sleep(timeoutMs);
    }

private:
    void WatchLocked() {
        if (Watching) return;
        Watching = MakeEnumerator();
        Changed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (Watching && Changed) {
            static DefaultChangeNotice* notice = new DefaultChangeNotice(Changed);
            Watching->RegisterEndpointNotificationCallback(notice);
        }
    }

    std::mutex WatchLock;
    ComRef<IMMDeviceEnumerator> Watching;
    HANDLE Changed = nullptr;
};

}  // namespace

OutputBackend& SystemOutput() {
    static WasapiBackend backend;
    return backend;
}
