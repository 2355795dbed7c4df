// The exported C interface: handle table and per-thread error code. Each
// stream decodes and plays on threads of its own (see stream.h).

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include <objbase.h>

#include "bass/bass_api.h"
#include "bass/decoder.h"
#include "bass/output_device.h"
#include "bass/stream.h"

namespace {

constexpr DWORD FirstStreamHandle = 0x10001;
constexpr int DeviceDefault = -1;
constexpr int DeviceNoSound = 0;
constexpr int DeviceFirst = 1;

thread_local int tErrorCode = BASS_OK;

std::mutex gInitLock;
bool gInitialised = false;
OutputBackend* gOutput = nullptr;  // none: every stream plays on the silent clock

std::mutex gTableLock;
// Never destroyed: at process exit the output thread is gone, perhaps holding
// a stream's lock, and closing streams from DLL detach could hang.
auto& gStreams = *new std::map<DWORD, std::shared_ptr<Stream>>;
std::atomic<DWORD> gNextHandle{FirstStreamHandle};

template <class T>
T Fail(int code, T result) {
    tErrorCode = code;
    return result;
}

constexpr QWORD QwordError = ~QWORD{0};

// The decode-only entry's decoders; each is used by one caller at a time.
constexpr DWORD FirstDecoderHandle = 0x70001;
std::mutex gDecoderLock;
auto& gDecoders = *new std::map<DWORD, std::shared_ptr<Decoder>>;
DWORD gNextDecoder = FirstDecoderHandle;

std::shared_ptr<Decoder> FindDecoder(DWORD handle) {
    std::lock_guard<std::mutex> lock(gDecoderLock);
    auto it = gDecoders.find(handle);
    return it == gDecoders.end() ? nullptr : it->second;
}

std::shared_ptr<Stream> FindStream(DWORD handle) {
    std::lock_guard<std::mutex> lock(gTableLock);
    auto it = gStreams.find(handle);
    return it == gStreams.end() ? nullptr : it->second;
}

// Nothing may cross the C interface: a failed thread start or allocation
// inside a call becomes the call's failure value.
template <class T, class Fn>
T Guarded(T failure, Fn fn) {
    try {
        return fn();
    } catch (...) {
        return Fail(BASS_ERROR_MEM, failure);
    }
}

// Runs fn on the stream and maps its error code to the BOOL result.
template <class Fn>
BOOL WithStream(DWORD handle, Fn fn) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        std::shared_ptr<Stream> stream = FindStream(handle);
        if (!stream) return Fail(BASS_ERROR_HANDLE, FALSE);
        int code = fn(*stream);
        tErrorCode = code;
        return code == BASS_OK ? TRUE : FALSE;
    });
}

std::wstring WidePath(const void* file, DWORD flags) {
    if (flags & BASS_UNICODE) return static_cast<const wchar_t*>(file);
    const char* text = static_cast<const char*>(file);
    int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (count <= 0) return {};
    std::wstring wide(static_cast<size_t>(count), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), count);
    wide.resize(static_cast<size_t>(count - 1));
    return wide;
}

}  // namespace

extern "C" {

BOOL BASSAPI BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const GUID* dsguid) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        std::lock_guard<std::mutex> lock(gInitLock);
        if (gInitialised) return Fail(BASS_ERROR_ALREADY, FALSE);
        if (device < DeviceDefault || device > DeviceFirst) return Fail(BASS_ERROR_DEVICE, FALSE);
        // Each stream plays at its own rate, so freq is not needed. Streams play
        // on the default device while there is one and on a silent clock while
        // there is none, so Init succeeds without a device.
        // The library stays loaded once started: its threads (the device watcher,
        // a stream's thread left with a hung decoder) outlive any FreeLibrary, and
        // a program that frees it at exit would pull their code from under them.
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&BASS_Init), &self);
        gOutput = device == DeviceNoSound ? nullptr : &SystemOutput();
        if (gOutput) Stream::WatchDefaultDevice(*gOutput);
        StartMediaFoundation();
        gInitialised = true;
        return Fail(BASS_OK, TRUE);
    });
}

int BASSAPI BASS_ErrorGetCode() { return tErrorCode; }

HPLUGIN BASSAPI BASS_PluginLoad(const char* file, DWORD flags) {
    return Guarded<HPLUGIN>(0, [&] {
        if (!file) return Fail(BASS_ERROR_FILEOPEN, HPLUGIN{0});
        uint32_t handle = 0;
        int code = LoadCodecPlugin(WidePath(file, flags), &handle);
        return code == BASS_OK ? Fail(BASS_OK, HPLUGIN{handle}) : Fail(code, HPLUGIN{0});
    });
}

HSTREAM BASSAPI BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
    return Guarded<HSTREAM>(0, [&]() -> HSTREAM {
        {
            std::lock_guard<std::mutex> lock(gInitLock);
            if (!gInitialised) return Fail(BASS_ERROR_INIT, HSTREAM{0});
        }
        if (mem) return Fail(BASS_ERROR_NOTAVAIL, HSTREAM{0});  // files only
        if (!file) return Fail(BASS_ERROR_FILEOPEN, HSTREAM{0});
        std::wstring path = WidePath(file, flags);
        if (path.empty()) return Fail(BASS_ERROR_FILEOPEN, HSTREAM{0});

        DecoderChoice choice = ChooseDecoder(path, offset, length, (flags & BASS_STREAM_PRESCAN) != 0);
        if (!choice.Info.Source && !choice.OpenLater) {
            return Fail(choice.Info.ErrorCode ? choice.Info.ErrorCode : BASS_ERROR_UNKNOWN, HSTREAM{0});
        }

        auto stream = std::make_shared<Stream>(std::move(choice.Info), std::move(choice.OpenLater), gOutput);
        DWORD handle = gNextHandle.fetch_add(1);
        {
            std::lock_guard<std::mutex> lock(gTableLock);
            gStreams.emplace(handle, std::move(stream));
        }
        return Fail(BASS_OK, handle);
    });
}

BOOL BASSAPI BASS_StreamFree(HSTREAM handle) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        std::shared_ptr<Stream> stream;
        {
            std::lock_guard<std::mutex> lock(gTableLock);
            auto it = gStreams.find(handle);
            if (it == gStreams.end()) return Fail(BASS_ERROR_HANDLE, FALSE);
            stream = std::move(it->second);
            gStreams.erase(it);
        }
        stream->Close();  // device and file go now, whoever still holds the object
        return Fail(BASS_OK, TRUE);
    });
}

BOOL BASSAPI BASS_MusicFree(HMUSIC handle) { return Fail(BASS_ERROR_HANDLE, FALSE); }

BOOL BASSAPI BASS_ChannelPlay(DWORD handle, BOOL restart) {
    return WithStream(handle, [&](Stream& s) { return s.Play(restart != FALSE); });
}

BOOL BASSAPI BASS_ChannelPause(DWORD handle) { return WithStream(handle, [](Stream& s) { return s.Pause(); }); }

BOOL BASSAPI BASS_ChannelStop(DWORD handle) { return WithStream(handle, [](Stream& s) { return s.Stop(); }); }

DWORD BASSAPI BASS_ChannelIsActive(DWORD handle) {
    uint32_t state = BASS_ACTIVE_STOPPED;
    WithStream(handle, [&](Stream& s) { return s.Active(&state); });
    return state;
}

QWORD BASSAPI BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_NOTAVAIL, QwordError);
    QWORD position = QwordError;
    WithStream(handle, [&](Stream& s) { return s.Position(&position); });
    return position;
}

BOOL BASSAPI BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_NOTAVAIL, FALSE);
    return WithStream(handle, [&](Stream& s) { return s.SetPosition(pos); });
}

QWORD BASSAPI BASS_ChannelGetLength(DWORD handle, DWORD mode) {
    if (mode != BASS_POS_BYTE) return Fail(BASS_ERROR_NOTAVAIL, QwordError);
    QWORD length = QwordError;
    WithStream(handle, [&](Stream& s) { return s.Length(&length); });
    return length;
}

double BASSAPI BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    double seconds = -1.0;
    if (!WithStream(handle, [&](Stream& s) { return s.BytesToSeconds(pos, &seconds); })) return -1.0;
    return seconds;
}

QWORD BASSAPI BASS_ChannelSeconds2Bytes(DWORD handle, double pos) {
    QWORD bytes = QwordError;
    if (!WithStream(handle, [&](Stream& s) { return s.SecondsToBytes(pos, &bytes); })) return QwordError;
    return bytes;
}

BOOL BASSAPI BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
    if (!FindStream(handle)) return Fail(BASS_ERROR_HANDLE, FALSE);
    if (attrib != BASS_ATTRIB_VOL) return Fail(BASS_ERROR_ILLTYPE, FALSE);
    return WithStream(handle, [&](Stream& s) { return s.SetVolume(value); });
}

BOOL BASSAPI BASS_ChannelGetAttribute(DWORD handle, DWORD attrib, float* value) {
    if (!FindStream(handle)) return Fail(BASS_ERROR_HANDLE, FALSE);
    if (attrib != BASS_ATTRIB_VOL) return Fail(BASS_ERROR_ILLTYPE, FALSE);
    if (!value) return Fail(BASS_ERROR_ILLPARAM, FALSE);
    return WithStream(handle, [&](Stream& s) { return s.GetVolume(value); });
}

DWORD BASSAPI TamberLiveStreamCount() {
    std::lock_guard<std::mutex> lock(gTableLock);
    return static_cast<DWORD>(gStreams.size());
}

DWORD BASSAPI TamberUnderrunCount() { return Stream::Underruns(); }

DWORD BASSAPI TamberOutputLockWaitUs() { return Stream::LongestOutputLockWaitUs(); }

DWORD BASSAPI TamberDecoderOpen(const wchar_t* path, TamberDecodedFormat* format) {
    return Guarded<DWORD>(0, [&]() -> DWORD {
        if (!path || !format) return Fail(BASS_ERROR_ILLPARAM, DWORD{0});
        DecoderChoice choice = ChooseDecoder(path, 0, 0, true);
        if (!choice.Info.Source) return Fail(choice.Info.ErrorCode ? choice.Info.ErrorCode : BASS_ERROR_FILEFORM, DWORD{0});
        *format = {choice.Info.SampleRate, choice.Info.Channels, choice.Info.Frames};
        std::lock_guard<std::mutex> lock(gDecoderLock);
        DWORD handle = gNextDecoder++;
        gDecoders.emplace(handle, std::move(choice.Info.Source));
        return Fail(BASS_OK, handle);
    });
}

DWORD BASSAPI TamberDecoderRead(DWORD decoder, float* samples, DWORD frames) {
    return Guarded<DWORD>(0, [&]() -> DWORD {
        std::shared_ptr<Decoder> source = FindDecoder(decoder);
        if (!source) return Fail(BASS_ERROR_HANDLE, DWORD{0});
        if (!samples) return Fail(BASS_ERROR_ILLPARAM, DWORD{0});
        return Fail(BASS_OK, std::min<DWORD>(source->Read(samples, frames), frames));
    });
}

BOOL BASSAPI TamberDecoderSeek(DWORD decoder, QWORD frame) {
    return Guarded<BOOL>(FALSE, [&]() -> BOOL {
        std::shared_ptr<Decoder> source = FindDecoder(decoder);
        if (!source) return Fail(BASS_ERROR_HANDLE, FALSE);
        return source->Seek(frame) ? Fail(BASS_OK, TRUE) : Fail(BASS_ERROR_POSITION, FALSE);
    });
}

BOOL BASSAPI TamberDecoderFree(DWORD decoder) {
    std::shared_ptr<Decoder> source;
    {
        std::lock_guard<std::mutex> lock(gDecoderLock);
        auto it = gDecoders.find(decoder);
        if (it == gDecoders.end()) return Fail(BASS_ERROR_HANDLE, FALSE);
        source = std::move(it->second);
        gDecoders.erase(it);
    }
    return Fail(BASS_OK, TRUE);
}

}  // extern "C"
