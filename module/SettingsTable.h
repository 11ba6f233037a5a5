// The values of a slot's key, one row each: their names in the registry,
// kinds, defaults and limits. The module reads a slot by these rows
// (LoadInstanceSettings); the tools store, check, show, export and import
// values by them (tools/shared/SlotEditor.h, SlotStore.h, RegFile.h), and
// Oculo Settings keeps a slot whole through them. Adding a value to a slot is
// a row here and its field in InstanceSettings.
//
// Constant data and plain functions on records; any thread.
#pragma once

#include <string_view>

#include "module/InstanceSettings.h"

// How a value is stored, read, checked and shown.
enum class SettingKind {
    kText,   // REG_SZ, shown as it is; its limits count characters
    kDword,  // REG_DWORD, shown as a signed whole number
    kFps,    // a decimal number stored as text ("%g"), shown so; read as text, so a DWORD reads as 0
};

// One value; its kind follows from its field's type.
struct SettingRow {
    constexpr SettingRow(LPCWSTR valueName, WCHAR (InstanceSettings::*field)[kSettingsTextChars],
                         LPCWSTR defaultFormat, double least, double most, int order)
        : SettingRow(valueName, SettingKind::kText, 0.0, least, most, order) {
        text = field;
        defaultText = defaultFormat;
    }
    constexpr SettingRow(LPCWSTR valueName, LONG InstanceSettings::*field, LONG defaultNumber, double least,
                         double most, int order)
        : SettingRow(valueName, SettingKind::kDword, defaultNumber, least, most, order) {
        number = field;
    }
    constexpr SettingRow(LPCWSTR valueName, float InstanceSettings::*field, float defaultFps, double least,
                         double most, int order)
        : SettingRow(valueName, SettingKind::kFps, defaultFps, least, most, order) {
        fps = field;
    }

    LPCWSTR name;  // the value's name in the key, and the key `oculo-config set` takes (in any case)
    SettingKind kind;
    // The record's field, by kind.
    WCHAR (InstanceSettings::*text)[kSettingsTextChars] = nullptr;
    LONG InstanceSettings::*number = nullptr;
    float InstanceSettings::*fps = nullptr;
    // What a missing value reads as: a number's value; for a text, a format
    // given the slot's number + 1 (null: empty).
    double defaultValue = 0.0;
    LPCWSTR defaultText = nullptr;
    // What a tool stores, so that the module uses the value as given: a
    // text's characters, a number's value.
    double minimum;
    double maximum;
    // The module reads the values in this order, 0 first.
    int readOrder;

private:
    constexpr SettingRow(LPCWSTR valueName, SettingKind valueKind, double defaultNumber, double least,
                         double most, int order)
        : name(valueName),
          kind(valueKind),
          defaultValue(defaultNumber),
          minimum(least),
          maximum(most),
          readOrder(order) {}
};

constexpr double kSettingLongMin = -2147483648.0;
constexpr double kSettingLongMax = 2147483647.0;
constexpr LONG kMaxSlotSide = 16384;

// In the order the tools show and store them. Crop bounds and the time shift
// may be negative (the pin orders and clamps the bounds; a negative shift
// starts the stream early). The module reads the frame rate and the size
// first and the texts last.
// clang-format off
inline constexpr SettingRow kSettingRows[] = {
    // name      field                       default         minimum          maximum          read
    {L"enable",  &InstanceSettings::enable,  0,              0,               1,               3},
    {L"url",     &InstanceSettings::url,     nullptr,        kMinUrlChars,    kMaxUrlChars,    11},
    {L"name",    &InstanceSettings::name,    L"Oculo %0.2u", 1,               kMaxNameChars,   12},
    {L"fps",     &InstanceSettings::fps,     25.0f,          0.01,            1000.0,          0},
    {L"w",       &InstanceSettings::w,       640,            1,               kMaxSlotSide,    1},
    {L"h",       &InstanceSettings::h,       480,            1,               kMaxSlotSide,    2},
    {L"crop_l",  &InstanceSettings::crop_l,  0,              kSettingLongMin, kSettingLongMax, 4},
    {L"crop_t",  &InstanceSettings::crop_t,  0,              kSettingLongMin, kSettingLongMax, 6},
    {L"crop_r",  &InstanceSettings::crop_r,  0,              kSettingLongMin, kSettingLongMax, 5},
    {L"crop_b",  &InstanceSettings::crop_b,  0,              kSettingLongMin, kSettingLongMax, 7},
    {L"tShift",  &InstanceSettings::tShift,  0,              kSettingLongMin, kSettingLongMax, 8},
    {L"status",  &InstanceSettings::status,  1,              0,               1,               9},
    {L"mf",      &InstanceSettings::mf,      0,              0,               1,               10},
};
// clang-format on

// Every row is read, once: the read orders run from 0 up without a gap.
constexpr bool EveryRowReadOnce() {
    const int count = int(sizeof(kSettingRows) / sizeof(kSettingRows[0]));
    for (int order = 0; order < count; ++order) {
        int rows = 0;
        for (const SettingRow& row : kSettingRows) rows += row.readOrder == order ? 1 : 0;
        if (rows != 1) return false;
    }
    return true;
}
static_assert(EveryRowReadOnce(), "each row has a read order of its own, from 0 up");

// The row named `name` (in any case), or null.
const SettingRow* FindSettingRow(std::wstring_view name);

// A record with every value at its default and no text: what an empty slot
// holds before anything is typed (a stored slot's default name is the
// slot's own, which LoadInstanceSettings gives).
InstanceSettings DefaultSettings();
// Whether the records hold the same values (the slot and class aside).
bool SameSettings(const InstanceSettings& a, const InstanceSettings& b);
