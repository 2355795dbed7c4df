#include "app/logic/settings_rules.h"

#include <climits>
#include <cstdint>

int SettingToInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{INT_MAX} + 1) value = int64_t{INT_MAX} + 1;  // keep the sum bounded
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

RestorePlan ReadRestorePlan(IniStore& store) {
    RestorePlan plan;
    if (store.Read("Width", NoValue) == NoValue) return plan;
    if (store.Read("Position", NoValue) == "3") {
        plan.Kind = RestoreKind::Maximised;
        return plan;
    }
    plan.Kind = RestoreKind::Explicit;
    plan.Width = SettingToInt(store.Read("Width", NoValue));
    plan.Height = SettingToInt(store.Read("Height", NoValue));
    plan.Left = SettingToInt(store.Read("Left", NoValue));
    plan.Top = SettingToInt(store.Read("Top", NoValue));
    return plan;
}

int ReadBackdropKind(IniStore& store) {
    return SettingToInt(store.Read("Backdrop", DefaultBackdropText));
}

void WriteGeometry(IniStore& store, const SavedGeometry& geometry) {
    store.Write("Width", std::to_string(geometry.Width));
    store.Write("Height", std::to_string(geometry.Height));
    store.Write("Position", std::to_string(geometry.State));
    store.Write("Left", std::to_string(geometry.Left));
    store.Write("Top", std::to_string(geometry.Top));
}

void WriteBackdropKind(IniStore& store, int kind) {
    store.Write("Backdrop", kind == 3 ? "3" : "2");
}
