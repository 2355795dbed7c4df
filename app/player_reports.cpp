#include "app/player_reports.h"

#include <atomic>

#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/taskbar.h"
#include "assets/embedded_images.h"
#include "playback/logic/playback_rules.h"
#include "playback/playback_reports.h"
#include "playback/player_state.h"
#include "ui/animation_slots.h"
#include "ui/cover_art.h"
#include "ui/frame.h"
#include "ui/ui_state.h"

namespace {

constexpr int PlayBarFixedWidth = 128;  // the time texts and margins beside the bar

// "选择打开的文件" and "选择文件夹".
constexpr std::string_view OpenFileTitle = "\xE9\x80\x89\xE6\x8B\xA9\xE6\x89\x93\xE5\xBC\x80\xE7\x9A\x84\xE6\x96\x87\xE4\xBB\xB6";
constexpr std::string_view ChooseFolderTitle = "\xE9\x80\x89\xE6\x8B\xA9\xE6\x96\x87\xE4\xBB\xB6\xE5\xA4\xB9";

class PlayerReports final : public PlaybackReports {
public:
    void PlayingChanged() override {
        // The play/pause sign and the taskbar follow at once, not at the next tick.
        RequestRepaint();
        UpdateTaskbar();
    }

    void TicksWanted(bool wanted) override {
        SetPlayBarInterval(wanted ? PlayBarIntervalMs : 0);
        SetLyricInterval(wanted ? LyricIntervalMs : 0);
    }

    void TrackLoaded(const LoadedTrack& track) override {
        // A scroll still running would finish at the old track's target.
        AnimationSlot(SlotLyricScroll).Stop();
        if (track.Origin == CoverOrigin::Default) {
            const auto cover = DefaultCoverPng();
            gCoverBytes.assign(cover.begin(), cover.end());
        } else {
            gCoverBytes.assign(track.Cover.begin(), track.Cover.end());
        }
        RebuildCoverObjects();
    }

    void PlayBarUpdated(bool figuresChanged) override {
        // A frame only when something drawn changed: a paused or ended track
        // costs none.
        if (figuresChanged && gCurrentPage == HomePage) RequestRepaintArea(PlayBarArea(CurrentLayout()));
        UpdateTaskbar();
    }

    void ListChanged(ListChange change, bool grew) override {
        if (grew) {
            gListContentHeight = static_cast<int>(gPlaylist.size()) * SongRowHeight;
            gListViewportHeight = gClientHeight - ListViewportMargin;
        }
        if (change == ListChange::FileIntake) {
            RequestRepaint();
        } else if (gCurrentPage == HomePage) {
            RequestRepaintArea(SongListArea(CurrentLayout()));
        }
    }

    bool RowsWaiting() override {
        const HWND window = Window;
        return window && PostMessageA(window, ScanRowsMessage, 0, 0);
    }

    double ProgressBarWidth() override {
        return gClientWidth - PlayBarFixedWidth - gListPanelWidth - gNavBarWidth;
    }

    bool PumpMessages(int ms, const std::function<bool()>& stop) override;

    std::string ChooseFileToOpen() override { return OpenFileDialog(Window, OpenFileTitle, OpenFileFilter); }

    std::string ChooseFolderToScan() override { return ChooseFolder(Window, ChooseFolderTitle); }

    std::atomic<HWND> Window{nullptr};
};

bool PlayerReports::PumpMessages(int ms, const std::function<bool()>& stop) {
    HANDLE timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    if (!timer) return true;
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;  // relative, 100-ns units
    if (!SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
        CloseHandle(timer);
        return true;
    }
    bool quitting = false;
    for (;;) {
        // Drain first: MsgWaitForMultipleObjects only wakes for messages that
        // arrive after the queue was last looked at. The timer is looked at
        // between messages, so a flood of them (or a paint that never
        // validates) cannot hold the wait past its end.
        MSG message;
        bool elapsed = false;
        while (!quitting && !stop() && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // The loop that ends the program must see it.
                PostQuitMessage(static_cast<int>(message.wParam));
                quitting = true;
                break;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
            if (WaitForSingleObject(timer, 0) == WAIT_OBJECT_0) {
                elapsed = true;
                break;
            }
        }
        if (elapsed || quitting || stop()) break;
        const DWORD woken = MsgWaitForMultipleObjects(1, &timer, FALSE, INFINITE, QS_ALLINPUT);
        if (woken != WAIT_OBJECT_0 + 1) break;  // the timer fired (or the wait failed)
    }
    CloseHandle(timer);
    return !quitting;
}

// Scan threads may still report after the window is gone.
PlayerReports& TheReports() {
    static auto* reports = new PlayerReports;
    return *reports;
}

}  // namespace

void InstallPlayerReports(HWND window) {
    TheReports().Window = window;
    SetPlaybackReports(&TheReports());
}
