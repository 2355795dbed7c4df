#pragma once
// Rules of track loading and the song list that need no Windows: the two time
// texts, the titles and side files derived from a track's path, list
// positions, volumes and the fade steps. Paths and texts are program text
// (UTF-8), where "\", "/", "." and "|" never occur inside another character.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// "d天h小时m分s秒" in program text.
inline constexpr std::string_view DefaultDurationTemplate = "d\xE5\xA4\xA9h\xE5\xB0\x8F\xE6\x97\xB6m\xE5\x88\x86s\xE7\xA7\x92";
inline constexpr std::string_view MinutesSecondsTemplate = "m:s";

// Replaces the last "d", "h", "m" and "s" of the template (in that order) by
// days, hours within the day, minutes within the hour and seconds within the
// minute, without leading zeros; an empty template means the default one.
// "m:s", the play bar's and the list's, is read as a clock instead: minutes
// and two-digit seconds ("2:05"), with the hours before them from one hour
// on ("1:02:05"), so that no two lengths read alike.
std::string FormatDuration(int32_t seconds, std::string_view templateText = DefaultDurationTemplate);

// The file name without its last extension: D:\Music\Band - Song.mp3 gives
// "Band - Song", D:\My.Music\a.b.mp3 gives "a.b", D:\song gives "song".
std::string FallbackTitle(std::string_view path);
// The path up to and including its last "\"; empty when it has none.
std::string FolderOf(std::string_view path);
// The title a track shows: its tag title, or FallbackTitle of the path when
// the tag title is empty or a single space.
std::string DisplayTitle(std::string_view tagTitle, std::string_view path);
// True for the texts AddFile treats as "no file": empty or a single space.
bool IsBlankPath(std::string_view path);

// The extension of the file name (after its last "."), empty when it has none.
std::string_view FileExtension(std::string_view path);
// The lyric file looked for beside a track: its extension replaced by "lrc";
// a path without an extension is returned unchanged (lyrisk appends ".lrc"
// to it itself).
std::string LyricPathFor(std::string_view trackPath);
// The cover looked for when the tags hold no picture: FolderOf the path +
// the tag title (not the fallback) + ".jpg".
std::string CoverPathFor(std::string_view trackPath, std::string_view tagTitle);
// The open-file dialog's filter: every type the player offers.
inline constexpr std::string_view OpenFileFilter = "*.mp3;*.m4a;*.flac;*.mp4;*.wma;*.ogg;*.wav;*.xm;*.ape";
// The folder scan takes every type of OpenFileFilter, in any letter case.
bool IsScannedExtension(std::string_view fileName);

// 1-based positions after next / previous in a list of count entries; 0 when
// the list is empty. Both wrap; a current position of 0 means none.
int NextPosition(int current, int count);
int PreviousPosition(int current, int count);

// Volumes of the fade steps: step 1..FadeInSteps raises 0 to volume,
// step 1..FadeOutSteps lowers volume to 0 (the last step gives 0).
inline constexpr int FadeInSteps = 50;
inline constexpr int FadeInStepMs = 20;
inline constexpr int FadeOutSteps = 30;
inline constexpr int FadeOutStepMs = 10;
int FadeInVolume(int volume, int step);
int FadeOutVolume(int volume, int step);
int ClampVolumePercent(int percent);

// Width of the played part of the progress bar: barWidth scaled by
// position / length, truncated; 0 for a length of 0.
int ProgressWidthFor(double positionSeconds, int lengthSeconds, double barWidth);

// Rows of the song list are this tall; the list's viewport leaves this much
// of the client height to the rest of the home page (device-independent pixels).
inline constexpr int SongRowHeight = 28;
inline constexpr int ListViewportMargin = 124;

// True when the path ends with a path separator (a folder to append names to).
bool EndsWithSeparator(std::string_view path);

// The open-file dialog's filter: the pieces between "|" joined with NUL
// bytes and ended with two; a single piece is both description and pattern.
std::string DialogFilter(std::string_view filter);
// What the open-file dialog hands back: one path, or (multiple selection) a
// folder followed by names. The full paths, in order; empty when nothing.
std::vector<std::string> DialogResultPaths(std::string_view buffer);
