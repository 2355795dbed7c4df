#include "app/logic/taskbar_rules.h"

TaskbarView ComputeTaskbarView(bool hasTrack, bool isPlaying, double positionSeconds, int lengthSeconds) {
    TaskbarView view;
    view.ShowsPause = isPlaying;
    if (!hasTrack) return view;
    view.State = isPlaying ? TaskbarProgressState::Normal : TaskbarProgressState::Paused;
    if (lengthSeconds > 0 && positionSeconds > 0) {
        const double share = positionSeconds / lengthSeconds;
        view.Completed = share >= 1 ? TaskbarProgressTotal : static_cast<uint64_t>(share * TaskbarProgressTotal);
    }
    return view;
}
