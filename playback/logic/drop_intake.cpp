#include "playback/logic/drop_intake.h"

bool DropIntake::Next(unsigned userActionsNow, DroppedFile& file) {
    if (Taken >= Paths.size()) return false;
    // Once overtaken, always: a counter that wrapped back cannot revive it.
    if (userActionsNow != ActionsAtDrop) Overtaken = true;
    file.Path = std::move(Paths[Taken++]);
    file.Load = !Overtaken;
    return true;
}
