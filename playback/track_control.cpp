#include "playback/track_control.h"

#include <functional>
#include <span>
#include <string>

#include "lyrics/lyric_lines.h"
#include "lyrics/lyrics_loader.h"
#include "playback/logic/playback_rules.h"
#include "playback/long_path_win32.h"
#include "playback/playback_reports.h"
#include "playback/player_state.h"

CoverOrigin gCoverOrigin = CoverOrigin::Default;

namespace {

constexpr int FadeIn = 1;
constexpr int FadeOut = 2;
constexpr uint64_t MaxCoverFileBytes = 64ull << 20;

// Bumped as each load or toggle begins; a wait compares it with the value it
// started with.
unsigned gActionGeneration = 0;

void BeginAction() { ++gActionGeneration; }

// Pauses, skips, picks and seeks by the user, and the drops: a drop stops
// loading its files once another came after it.
unsigned gUserActions = 0;

// The play/pause sign and the taskbar follow at once, not at the next tick.
void SetPlaying(int playing) {
    if (gIsPlaying == playing) return;
    gIsPlaying = playing;
    Reports().PlayingChanged();
}

// Played to its end, not merely loaded and not yet started: a stream that
// stopped by itself stands at its length.
bool TrackEnded() {
    if (!gCurrentStream || gAudioEngine.IsActive(gCurrentStream) != 0) return false;
    const uint64_t length = gAudioEngine.GetLengthBytes(gCurrentStream);
    const uint64_t position = gAudioEngine.GetPositionBytes(gCurrentStream);
    return length != 0 && length != StreamErrorBytes && position != StreamErrorBytes && position >= length;
}

void StartTimers() { Reports().TicksWanted(true); }

void StopTimers() { Reports().TicksWanted(false); }

// The tag's picture, else the ".jpg" named after the tag title (read into
// jpgBytes), else none: the program shows its built-in picture.
LoadedTrack ChooseCover(std::string_view path, const TrackInfo& info, std::string& jpgBytes) {
    LoadedTrack track;
    if (!info.Picture.empty()) {
        track.Cover = info.Picture;
        track.Origin = CoverOrigin::Tag;
        return track;
    }
    const std::string coverPath = CoverPathFor(path, info.Title);
    if (FileExistsAt(coverPath) && ReadFileAt(coverPath, jpgBytes, MaxCoverFileBytes)) {
        track.Cover = std::span(reinterpret_cast<const uint8_t*>(jpgBytes.data()), jpgBytes.size());
        track.Origin = CoverOrigin::Jpg;
    }
    return track;
}

// The tail shared by a double click, next and previous: load, play at the
// set volume, and point CurrentIndex at the entry.
void LoadAndPlay(int position) {
    if (position < 1 || position > static_cast<int>(gPlaylist.size())) return;
    // The entry's path is copied: a scan may grow the list during the fade.
    const std::string path = gPlaylist[position - 1].Path;
    if (!LoadTrack(path)) return;
    // The volume first: a new stream's first audio is at the level set.
    gAudioEngine.SetVolume(gCurrentStream, gVolume);
    gAudioEngine.Play(gCurrentStream, false);
    gCurrentIndex = position;
}

}  // namespace

bool WaitPumping(int ms) {
    const unsigned started = gActionGeneration;
    const std::function<bool()> overtaken = [started] { return gActionGeneration != started; };
    // The program is ending: every action waiting in a fade gives up.
    if (!Reports().PumpMessages(ms, overtaken)) BeginAction();
    return !overtaken();
}

bool Fade(int direction) {
    const bool fadeIn = direction == FadeIn;
    if (fadeIn) gAudioEngine.SetVolume(gCurrentStream, 0);
    gIsFading = 1;
    const int steps = fadeIn ? FadeInSteps : FadeOutSteps;
    for (int step = 1; step <= steps; ++step) {
        if (!WaitPumping(fadeIn ? FadeInStepMs : FadeOutStepMs)) {
            // The newer action has run to its end by now (it ran inside this
            // wait), so no other fade is in progress.
            gIsFading = 0;
            return false;
        }
        // Volume and stream are read anew: either may change inside the wait.
        gAudioEngine.SetVolume(gCurrentStream, fadeIn ? FadeInVolume(gVolume, step) : FadeOutVolume(gVolume, step));
    }
    gIsFading = 0;
    return true;
}

bool StopTrack() {
    if (!Fade(FadeOut)) return false;
    gAudioEngine.FreeAndStop(gCurrentStream);
    gAudioEngine.FreeStream(gCurrentStream);
    gCurrentStream = 0;  // freed: no later call may reach another stream by this number
    SetPlaying(0);
    return true;
}

void ReleaseCurrentTrack() {
    BeginAction();
    gAudioEngine.FreeAndStop(gCurrentStream);
    gAudioEngine.FreeStream(gCurrentStream);
    gCurrentStream = 0;
    gIsPlaying = 0;  // the window is going: nothing left to show it
}

bool LoadTrack(std::string_view path) {
    BeginAction();
    if (!StopTrack()) return false;
    gCurrentStream = gAudioEngine.CreateStream(path);
    gTrackLengthSeconds = gAudioEngine.StreamLengthTotalSeconds(gCurrentStream);
    gAudioEngine.ReadTrackInfo(path, gCurrentTrackInfo);
    gTrackTitle = DisplayTitle(gCurrentTrackInfo.Title, path);
    gTrackArtist = gCurrentTrackInfo.Artist;
    gTrackAlbum = gCurrentTrackInfo.Album;
    ResetLyricState();
    if (FileExistsAt(LyricPathFor(path))) LoadLyrics(path);
    std::string jpgBytes;
    const LoadedTrack track = ChooseCover(path, gCurrentTrackInfo, jpgBytes);
    gCoverOrigin = track.Origin;
    StartTimers();
    Reports().TrackLoaded(track);
    SetPlaying(1);
    return true;
}

void NoteUserAction() { ++gUserActions; }

unsigned UserActionCount() { return gUserActions; }

void TogglePlayPause() {
    NoteUserAction();
    BeginAction();
    switch (gAudioEngine.IsActive(gCurrentStream)) {
    case 0:  // stopped: never played, or played to its end
        gAudioEngine.Play(gCurrentStream, false);
        StartTimers();
        SetPlaying(1);
        break;
    case 1:
        StopTimers();
        if (!gIsFading && !Fade(FadeOut)) return;
        gAudioEngine.Pause(gCurrentStream);
        SetPlaying(0);
        break;
    default:  // stalled or paused
        gAudioEngine.Play(gCurrentStream, false);
        SetPlaying(1);
        StartTimers();
        if (!gIsFading && !Fade(FadeIn)) return;
        gAudioEngine.SetVolume(gCurrentStream, gVolume);
        break;
    }
}

void PlayEntry(int position) {
    NoteUserAction();
    LoadAndPlay(position);
}

void NextTrack() {
    NoteUserAction();
    if (gPlaylist.empty()) return;
    LoadAndPlay(NextPosition(gCurrentIndex, static_cast<int>(gPlaylist.size())));
}

void PreviousTrack() {
    NoteUserAction();
    if (gPlaylist.empty()) return;
    LoadAndPlay(PreviousPosition(gCurrentIndex, static_cast<int>(gPlaylist.size())));
}

void SeekToFraction(double fraction) {
    const uint64_t bytes = gAudioEngine.SecondsToBytes(gCurrentStream, gTrackLengthSeconds * fraction);
    gAudioEngine.SetPositionBytes(gCurrentStream, bytes);
    NoteUserAction();
    // Shown now, paused too, and the next seek key starts from here.
    UpdatePlayBar();
}

void SetVolumePercent(int percent) {
    gVolume = ClampVolumePercent(percent);
    gAudioEngine.SetVolume(gCurrentStream, gVolume);
}

void UpdatePlayBar() {
    const int oldProgressWidth = gProgressWidth;
    const std::string oldPositionText = gPositionText;
    const std::string oldLengthText = gLengthText;
    gPositionSeconds = gAudioEngine.BytesToSeconds(gCurrentStream, gAudioEngine.GetPositionBytes(gCurrentStream));
    // Without a stream the library answers -1: show the neutral 0:0.
    if (!(gPositionSeconds >= 0.0)) gPositionSeconds = 0.0;
    gProgressWidth = ProgressWidthFor(gPositionSeconds, gTrackLengthSeconds, Reports().ProgressBarWidth());
    gPositionText = FormatDuration(static_cast<int32_t>(gPositionSeconds), MinutesSecondsTemplate);
    gLengthText = FormatDuration(gTrackLengthSeconds, MinutesSecondsTemplate);
    // A frame only when something drawn changed: a paused or ended track
    // costs none.
    const bool changed =
        gProgressWidth != oldProgressWidth || gPositionText != oldPositionText || gLengthText != oldLengthText;
    if (gIsPlaying == 1 && !gIsFading && TrackEnded()) {
        // Nothing sounds any more: the play sign shows, ticks and frames stop,
        // and the bar stays at the end. Play starts the track over.
        StopTimers();
        SetPlaying(0);
    }
    Reports().PlayBarUpdated(changed);
}

int MeasureLengthSeconds(std::string_view path) {
    const StreamHandle stream = gAudioEngine.CreateStream(path);
    const int seconds = gAudioEngine.StreamLengthTotalSeconds(stream);
    if (stream) gAudioEngine.FreeStream(stream);
    return seconds;
}
