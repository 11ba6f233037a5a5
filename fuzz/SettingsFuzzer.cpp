// A slot's settings over arbitrary stored values: each input stores values of
// any type and size under a slot key (as a hand edit or another tool might),
// then reads the slot's record and the validity rule over it. The registry
// file is written through the stand-in's own document, so it holds exactly
// what RegSetValueEx with those types and bytes would store.
#include <cstdint>
#include <cwchar>
#include <fstream>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzRegistry.h"
#include "module/InstanceSettings.h"
#include "module/SettingsTable.h"
#include "platform/posix/RegistryDocument.h"

using oculo::posix::RegistryDocument;
using oculo::posix::RegValue;

namespace {

const size_t kValueCount = sizeof(kSettingRows) / sizeof(kSettingRows[0]);
const DWORD kTypes[] = {REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, 7 /* REG_MULTI_SZ */, 11 /* QWORD */};

bool Terminated(const WCHAR* text, size_t capacity) { return std::wmemchr(text, 0, capacity) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const DWORD slot = in.Byte() % 12;  // 10 and 11 lie beyond the slot table
    WCHAR key[kSlotKeyPathChars];
    FormatSlotKeyPath(slot, key);
    const std::wstring path = std::wstring(L"HKEY_LOCAL_MACHINE\\") + key;
    RegistryDocument document;
    document.CreateKey(path);
    for (int i = 0; i < 12 && in.Remaining() > 0; ++i) {
        RegValue value;
        value.name = kSettingRows[in.Byte() % kValueCount].name;
        const uint8_t kind = in.Byte();
        value.type = kind < 0xF0 ? kTypes[kind % 7] : in.U32();
        // Mostly short; up to 12 KiB at times, past every buffer the reader has.
        const uint16_t length = in.U16();
        size_t cbData = 0;
        const uint8_t* bytes = in.Take(length & 0x8000 ? length % 12288 : length % 96, &cbData);
        value.data.assign(bytes, bytes + cbData);
        document.SetValue(path, value);
    }
    // The file as RegSetValueEx would leave it, written at once (the stand-in
    // itself syncs every change to disk, too slow for a fuzzing loop).
    FuzzWriteRegistry(document.Serialize());

    const InstanceSettings settings = LoadInstanceSettings(slot);
    if (!Terminated(settings.url, kSettingsTextChars) || !Terminated(settings.name, kSettingsTextChars))
        FuzzFail("a text of the record is not terminated");
    if ((settings.clsid != nullptr) != (slot < 10)) FuzzFail("slot %u has the wrong class", slot);
    if (IsInstanceUsable(settings)) {
        const size_t urlChars = wcslen(settings.url);
        if (urlChars < kMinUrlChars || urlChars > kMaxUrlChars || settings.name[0] == 0 || settings.w <= 0 ||
            settings.h <= 0 || !(settings.fps > 0.0f)) {
            FuzzFail("an unusable record passes the validity rule");
        }
    }
    if (IsSlotUsable(slot) != IsInstanceUsable(settings)) FuzzFail("the slot and its record disagree");
    return 0;
}
