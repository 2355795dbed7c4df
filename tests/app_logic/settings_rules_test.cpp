#include "app/logic/settings_rules.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

class MapStore : public IniStore {
public:
    std::map<std::string, std::string> Values;
    std::vector<std::string> Reads;
    std::vector<std::string> Writes;

    std::string Read(const char* key, const char* defaultText) override {
        Reads.push_back(std::string(key) + "=" + defaultText);
        auto it = Values.find(key);
        return it == Values.end() ? defaultText : it->second;
    }
    void Write(const char* key, const std::string& value) override {
        Writes.push_back(std::string(key) + "=" + value);
        Values[key] = value;
    }
};

TEST(SettingToInt, ReadsLikeAtoi) {
    const struct {
        const char* Text;
        int Expected;
    } cases[] = {
        {"772", 772}, {"none", 0}, {"", 0}, {"-8", -8}, {"+5", 5}, {"  42", 42}, {"12px", 12},
        {"x12", 0}, {"-32000", -32000}, {"99999999999999999999", 2147483647},
        {"-99999999999999999999", -2147483647 - 1}, {"-", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(SettingToInt(c.Text), c.Expected);
    }
}

TEST(RestorePlan, NoFileGivesDefaultSizeAfterOneRead) {
    MapStore store;
    EXPECT_EQ(ReadRestorePlan(store).Kind, RestoreKind::DefaultSize);
    EXPECT_EQ(store.Reads, (std::vector<std::string>{"Width=none"}));
}

TEST(RestorePlan, MaximisedIgnoresTheOtherKeys) {
    MapStore store;
    store.Values = {{"Width", "900"}, {"Height", "600"}, {"Position", "3"}, {"Left", "5"}, {"Top", "6"}};
    const RestorePlan plan = ReadRestorePlan(store);
    EXPECT_EQ(plan.Kind, RestoreKind::Maximised);
    EXPECT_EQ(store.Reads.size(), 2u);
}

TEST(RestorePlan, ExplicitGeometryWithMissingKeysAsZero) {
    MapStore store;
    store.Values = {{"Width", "900"}, {"Position", "0"}, {"Left", "-10"}};
    const RestorePlan plan = ReadRestorePlan(store);
    EXPECT_EQ(plan.Kind, RestoreKind::Explicit);
    EXPECT_EQ(plan.Width, 900);
    EXPECT_EQ(plan.Height, 0);  // "Height" missing
    EXPECT_EQ(plan.Left, -10);
    EXPECT_EQ(plan.Top, 0);
}

TEST(RestorePlan, OnlyExactTextsCount) {
    MapStore store;
    store.Values = {{"Width", "None"}, {"Position", "3 "}};  // neither "none" nor "3"
    const RestorePlan plan = ReadRestorePlan(store);
    EXPECT_EQ(plan.Kind, RestoreKind::Explicit);
    EXPECT_EQ(plan.Width, 0);
}

TEST(Backdrop, DefaultTwoAndAnyIntegerPassedOn) {
    MapStore store;
    EXPECT_EQ(ReadBackdropKind(store), 2);
    store.Values.insert_or_assign("Backdrop", std::string("5"));
    EXPECT_EQ(ReadBackdropKind(store), 5);
    store.Values.insert_or_assign("Backdrop", std::string("mica"));
    EXPECT_EQ(ReadBackdropKind(store), 0);
}

TEST(Backdrop, WritesTwoOrThree) {
    MapStore store;
    WriteBackdropKind(store, 3);
    WriteBackdropKind(store, 2);
    WriteBackdropKind(store, 7);
    EXPECT_EQ(store.Writes, (std::vector<std::string>{"Backdrop=3", "Backdrop=2", "Backdrop=2"}));
}

TEST(Geometry, WrittenInKeyOrderAndReadBack) {
    MapStore store;
    WriteGeometry(store, {900, 650, 0, -1200, 40});
    EXPECT_EQ(store.Writes, (std::vector<std::string>{"Width=900", "Height=650", "Position=0", "Left=-1200", "Top=40"}));
    const RestorePlan plan = ReadRestorePlan(store);
    EXPECT_EQ(plan.Kind, RestoreKind::Explicit);
    EXPECT_EQ(plan.Width, 900);
    EXPECT_EQ(plan.Height, 650);
    EXPECT_EQ(plan.Left, -1200);
    EXPECT_EQ(plan.Top, 40);
}

}  // namespace
