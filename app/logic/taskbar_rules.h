#pragma once
// What the taskbar button shows of the playback: its progress and its state,
// and the play/pause picture of the thumbnail toolbar.

#include <cstdint>

enum class TaskbarProgressState { None, Normal, Paused };

// Progress in thousandths of the track: the button's bar is a few dozen
// pixels wide, and a coarser value changes (and costs a call) less often.
inline constexpr uint64_t TaskbarProgressTotal = 1000;

struct TaskbarView {
    TaskbarProgressState State = TaskbarProgressState::None;
    uint64_t Completed = 0;  // of TaskbarProgressTotal; 0 without progress
    bool ShowsPause = false;  // the middle thumbnail button: pause while playing

    bool operator==(const TaskbarView&) const = default;
};

// None without a track; normal while playing, paused otherwise.
TaskbarView ComputeTaskbarView(bool hasTrack, bool isPlaying, double positionSeconds, int lengthSeconds);
