#pragma once
// The keys of the parameter file: one row per setting with its accepted spellings, its kind, the member it
// sets and what else setting it changes. The reader walks this table; adding a key is adding a row.
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Messages.h"
#include "engine/Settings.h"

namespace zel {

enum class SettingKind {
    Text,        // first quoted value of the line
    TextOrList,  // one quoted value sets the text, several replace the list
    Int,         // a number of the line, truncated toward zero
    Double,      // a number of the line
    Switch,      // second word of the line
};

// What setting a key changes besides its own member; runs after the value was stored.
using SettingEffect = void (*)(Settings&, const MessageTarget&);

struct SettingKey {
    std::array<std::string_view, 4> names{};  // accepted spellings; unused entries stay empty
    SettingKind kind = SettingKind::Text;
    std::string Settings::*text = nullptr;              // Text, TextOrList
    std::vector<std::string> Settings::*list = nullptr;  // TextOrList with several values
    int Settings::*integer = nullptr;                   // Int
    double Settings::*real = nullptr;                   // Double
    bool Settings::*flag = nullptr;                     // Switch
    SettingEffect effect = nullptr;
    size_t numberIndex = 0;      // which number of the line is the value (a key may hold a digit itself)
    std::string_view onlyValue;  // when not empty, the one text value taken; others are ignored silently
    bool inUse = true;           // false: accepted and stored, but no part of the system reads it yet

    constexpr bool hasName(std::string_view key) const {
        for (std::string_view name : names) {
            if (!name.empty() && name == key) return true;
        }
        return false;
    }
    constexpr SettingKey then(SettingEffect after) const {
        SettingKey row = *this;
        row.effect = after;
        return row;
    }
    constexpr SettingKey fromNumber(size_t index) const {
        SettingKey row = *this;
        row.numberIndex = index;
        return row;
    }
    constexpr SettingKey notUsedYet() const {
        SettingKey row = *this;
        row.inUse = false;
        return row;
    }
    constexpr SettingKey only(std::string_view value) const {
        SettingKey row = *this;
        row.onlyValue = value;
        return row;
    }
};

// Every key of the parameter file.
std::span<const SettingKey> settingKeys();

}  // namespace zel
