// oculo-grab: looks at one camera for a few seconds, the way a slot's filter
// would see it: the camera reader feeds a frame store of the slot's size and
// crop; once a second it prints what arrived, and at the end it writes the
// store as a PNG snapshot.
//   oculo-grab [--slot N | --url URL] [--seconds S] [--png FILE]
// Exit status: 0 pictures arrived, 1 none arrived (or the snapshot could not
// be written), 2 bad command line or unusable slot.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "camera/ExtendedTickCount.h"
#include "camera/RTSPCamera.h"
#include "filter/FrameStore.h"
#include "module/InstanceSettings.h"
#include "tools/ConsoleText.h"
#include "tools/PngWriter.h"
#include "tools/SlotEditor.h"

namespace {

const int kExitOk = 0;
const int kExitNoPicture = 1;
const int kExitUsage = 2;
const int kDefaultSeconds = 5;
const int kMaxSeconds = 86400;
const LONG kUrlWidth = 640;
const LONG kUrlHeight = 480;
const float kUrlFps = 25.0f;

// What to look at: a slot's record, or an address with the default size.
struct GrabOptions {
    InstanceSettings source;
    std::string label;
    int seconds = kDefaultSeconds;
    std::string png = "oculo-snapshot.png";
};

int Usage() {
    std::fprintf(stderr,
                 "usage: oculo-grab [--slot N | --url URL] [--seconds S] [--png FILE]\n"
                 "  --slot N     the slot's camera, size and crop (default: slot 0)\n"
                 "  --url URL    a camera address, shown at 640x480, 25 fps\n"
                 "  --seconds S  how long to look (default 5)\n"
                 "  --png FILE   the snapshot (default oculo-snapshot.png)\n");
    return kExitUsage;
}

bool UseUrl(const char* url, GrabOptions* options, std::string* error) {
    const std::wstring wide = ToWide(url);
    if (wide.size() < kMinUrlChars || wide.size() > kMaxUrlChars) {
        *error = "the address must have 6 to 1023 characters";
        return false;
    }
    InstanceSettings& s = options->source;
    std::memset(&s, 0, sizeof(s));
    std::wcsncpy(s.url, wide.c_str(), kSettingsTextChars - 1);
    s.w = kUrlWidth;
    s.h = kUrlHeight;
    s.fps = kUrlFps;
    options->label = "address";
    return true;
}

bool UseSlot(const char* text, GrabOptions* options, std::string* error) {
    DWORD slot = 0;
    if (!ParseSlotIndex(text, &slot)) {
        *error = std::string("slot '") + text + "' is out of range: slots are 0 to 9";
        return false;
    }
    options->source = LoadInstanceSettings(slot);
    if (!IsInstanceUsable(options->source)) {
        const std::string reason = UnusableReason(options->source);
        *error = "slot " + std::to_string(slot) + " is not usable (" + (reason.empty() ? "settings" : reason) +
                 "); see oculo-config show " + std::to_string(slot);
        return false;
    }
    options->label = "slot " + std::to_string(slot) + " (" + ToNarrow(options->source.name) + ")";
    return true;
}

bool ParseSeconds(const char* text, int* seconds) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || value < 1 || value > kMaxSeconds) return false;
    *seconds = int(value);
    return true;
}

bool ParseArguments(int argc, char** argv, GrabOptions* options, std::string* error) {
    const char* slot = nullptr;
    const char* url = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) {
            *error = "missing value after " + flag;
            return false;
        }
        const char* value = argv[++i];
        if (flag == "--slot") {
            slot = value;
        } else if (flag == "--url") {
            url = value;
        } else if (flag == "--seconds") {
            if (!ParseSeconds(value, &options->seconds)) {
                *error = std::string("--seconds wants a whole number from 1 to ") + std::to_string(kMaxSeconds);
                return false;
            }
        } else if (flag == "--png") {
            options->png = value;
        } else {
            *error = "unknown option " + flag;
            return false;
        }
    }
    if (slot != nullptr && url != nullptr) {
        *error = "give either --slot or --url, not both";
        return false;
    }
    return url != nullptr ? UseUrl(url, options, error) : UseSlot(slot ? slot : "0", options, error);
}

void PrintSecond(int second, CRTSPCamera& camera, LONG pictures, double rate) {
    std::string last = "none yet";
    if (pictures > 0) last = std::to_string(camera.GetTimeSinceLastFrame()) + " ms ago";
    std::printf("%3d s: %ld pictures, %.1f/s, last %s, %s\n", second, long(pictures), rate, last.c_str(),
                camera.IsOpen() ? "connected" : "not connected");
    std::fflush(stdout);
}

// Runs the reader for the given seconds, reporting once a second; returns the
// pictures received.
LONG Watch(CRTSPCamera& camera, const GrabOptions& options) {
    const uint64_t begin = ExtendedTickCount();
    camera.Start(options.source.url);  // returns after the first picture or 2 s
    LONG previous = 0;
    uint64_t previousAt = begin;
    for (int second = 1; second <= options.seconds; ++second) {
        const uint64_t due = begin + uint64_t(second) * 1000;
        const uint64_t now = ExtendedTickCount();
        if (due > now) Sleep(DWORD(due - now));
        const LONG pictures = camera.GetFrameCount();
        const uint64_t at = ExtendedTickCount();
        const double rate = at > previousAt ? (pictures - previous) * 1000.0 / double(at - previousAt) : 0.0;
        PrintSecond(second, camera, pictures, rate);
        previous = pictures;
        previousAt = at;
    }
    const LONG pictures = camera.GetFrameCount();  // Stop resets the count
    camera.Stop();
    return pictures;
}

bool Snapshot(CFrameStore& store, const GrabOptions& options) {
    const InstanceSettings& s = options.source;
    std::vector<BYTE> pixels(size_t(CFrameStore::StoreBytes(s.w, s.h)));
    const LONG copied = store.CopyStore(pixels.data(), LONG(pixels.size()));
    std::string error;
    if (copied <= 0 || !WriteStorePng(options.png.c_str(), pixels.data(), size_t(copied), s.w, s.h, &error)) {
        std::fprintf(stderr, "oculo-grab: no snapshot: %s\n", error.empty() ? "the store is empty" : error.c_str());
        return false;
    }
    std::printf("snapshot: %s (%ldx%ld)\n", options.png.c_str(), long(s.w), long(s.h));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    GrabOptions options;
    std::string error;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) return Usage();
    if (!ParseArguments(argc, argv, &options, &error)) {
        std::fprintf(stderr, "oculo-grab: %s\n", error.c_str());
        return kExitUsage;
    }
    const InstanceSettings& s = options.source;
    if (CFrameStore::StoreBytes(s.w, s.h) <= 0) {
        std::fprintf(stderr, "oculo-grab: a %ldx%ld picture is too large\n", long(s.w), long(s.h));
        return kExitUsage;
    }
    CFrameStore store;
    store.ResizeFrameStore(s.w, s.h);
    store.SetCropBounds(s.crop_l, s.crop_t, s.crop_r, s.crop_b);
    std::printf("oculo-grab: %s %s, %ldx%ld at %g fps, for %d s\n", options.label.c_str(), ToNarrow(s.url).c_str(),
                long(s.w), long(s.h), double(s.fps), options.seconds);
    std::fflush(stdout);

    LONG pictures = 0;
    {
        CRTSPCamera camera(&store);  // stopped and gone before the store is read
        pictures = Watch(camera, options);
    }
    if (pictures <= 0) {
        std::fprintf(stderr, "oculo-grab: no picture arrived from %s\n", ToNarrow(s.url).c_str());
        return kExitNoPicture;
    }
    std::printf("%ld pictures in %d s\n", long(pictures), options.seconds);
    return Snapshot(store, options) ? kExitOk : kExitNoPicture;
}
