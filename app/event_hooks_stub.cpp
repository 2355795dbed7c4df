// Nothing plays yet: the timers never start and a dropped file is ignored.
#include "app/event_hooks.h"

void OnPlayBarTick() {}
void OnLyricTick() {}
void OnFileDropped(const std::string&) {}
