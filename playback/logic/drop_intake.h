#pragma once
// The files of one drop, taken in drop order. Loading a file fades the track
// before it out while window messages run, so the user may pause, skip or
// pick a row in the middle of a drop. The latest user action wins: every file
// is still added to the song list, but once a user action came after the
// drop, none of the remaining files is loaded or played.

#include <string>
#include <vector>

struct DroppedFile {
    std::string Path;
    bool Load = false;  // load and play it, or only add its row
};

class DropIntake {
public:
    // userActions: the count of user actions as the drop arrives, the drop
    // itself counted.
    DropIntake(std::vector<std::string> paths, unsigned userActions)
        : Paths(std::move(paths)), ActionsAtDrop(userActions) {}

    // The next file, given the count of user actions now; false when every
    // file was taken.
    bool Next(unsigned userActionsNow, DroppedFile& file);

private:
    std::vector<std::string> Paths;
    size_t Taken = 0;
    unsigned ActionsAtDrop = 0;
    bool Overtaken = false;
};
