#include "playback/logic/drop_intake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Takes every file of a drop; userActionAt[i] is the count of user actions
// when file i is taken. Gives "path:load" per file.
std::string TakeAll(std::vector<std::string> paths, unsigned atDrop, const std::vector<unsigned>& userActionAt) {
    DropIntake drop(std::move(paths), atDrop);
    std::string taken;
    DroppedFile file;
    for (size_t i = 0; drop.Next(i < userActionAt.size() ? userActionAt[i] : atDrop, file); ++i) {
        if (!taken.empty()) taken += " ";
        taken += file.Path + (file.Load ? ":load" : ":add");
    }
    return taken;
}

TEST(DropIntake, TheLatestUserActionWins) {
    struct Case {
        const char* what;
        std::vector<unsigned> userActionAt;
        std::string expected;
    };
    const Case cases[] = {
        {"nobody interferes", {7, 7, 7}, "a:load b:load c:load"},
        // A pause while b loaded: b's own load gave up in its fade, and c
        // only joins the list.
        {"a pause during b", {7, 7, 8}, "a:load b:load c:add"},
        {"a click before the second file", {7, 9, 9}, "a:load b:add c:add"},
        // Once overtaken, always: a count that wrapped back changes nothing.
        {"counter back at the drop's", {7, 8, 7}, "a:load b:add c:add"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TakeAll({"a", "b", "c"}, 7, c.userActionAt), c.expected);
    }
    EXPECT_EQ(TakeAll({}, 1, {}), "");
}

}  // namespace
