#include "tools/oculo-grab/GrabOptions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "module/SlotClasses.h"
#include "tools/oculo-grab/ThrowawaySlot.h"
#include "tools/shared/ConsoleText.h"
#include "tools/shared/SlotEditor.h"

namespace {

const char* const kValueOptions[] = {"--slot", "--device", "--url", "--module", "--seconds", "--png"};

bool TakesValue(const std::string& flag) {
    for (const char* option : kValueOptions) {
        if (flag == option) return true;
    }
    return false;
}

bool ParseSeconds(const char* text, int* seconds) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != 0 || value < 1 || value > kGrabMaxSeconds) return false;
    *seconds = int(value);
    return true;
}

// The choices that must agree once every option is read.
bool CheckChoices(const char* slot, bool bModule, bool bSeconds, GrabOptions* options, std::string* error) {
    const int cameras = (slot != nullptr) + !options->device.empty() + !options->url.empty();
    if (options->bList && (cameras > 0 || options->bWatch || bSeconds)) {
        *error = "--list stands alone";
    } else if (options->bWatch && bSeconds) {
        *error = "give --seconds or --watch: --watch goes on until Ctrl+C";
    } else if (cameras > 1) {
        *error = "give one of --slot, --device and --url";
    } else if (bModule && options->url.empty()) {
        *error = "--module goes with --url: it names the module to register for the address";
    } else if (!options->url.empty()) {
        const size_t chars = ToWide(options->url.c_str()).size();
        if (chars >= kMinUrlChars && chars <= kMaxUrlChars) {
            options->slot = kThrowawaySlot;
            return true;
        }
        *error = "the address must have " + std::to_string(kMinUrlChars) + " to " +
                 std::to_string(kMaxUrlChars) + " characters";
    } else if (slot != nullptr && !ParseSlotIndex(slot, &options->slot)) {
        *error = "slot '" + ShownAddress(slot) + "' is out of range: slots are 0 to " +
                 std::to_string(g_cSlots - 1);
    } else {
        return true;
    }
    return false;
}

}  // namespace

bool ParseGrabArguments(int argc, const char* const* argv, GrabOptions* options, std::string* error) {
    *options = GrabOptions();
    const char* slot = nullptr;
    bool bModule = false;
    bool bSeconds = false;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag == "--help" || flag == "-h") {
            options->bHelp = true;
            return true;
        }
        if (flag == "--list" || flag == "--watch") {
            (flag == "--list" ? options->bList : options->bWatch) = true;
            continue;
        }
        if (!TakesValue(flag)) {
            *error = "unknown option '" + ShownAddress(flag.c_str()) + "'";
            return false;
        }
        if (i + 1 >= argc || argv[i + 1][0] == 0) {
            *error = flag + " wants a value";
            return false;
        }
        const char* value = argv[++i];
        if (flag == "--slot") {
            slot = value;
        } else if (flag == "--device") {
            options->device = value;
        } else if (flag == "--url") {
            options->url = value;
        } else if (flag == "--module") {
            options->module = value;
            bModule = true;
        } else if (flag == "--png") {
            options->png = value;
        } else if (ParseSeconds(value, &options->seconds)) {
            bSeconds = true;
        } else {
            *error = "--seconds wants a whole number from 1 to " + std::to_string(kGrabMaxSeconds);
            return false;
        }
    }
    return CheckChoices(slot, bModule, bSeconds, options, error);
}

std::string GrabUsage(const std::string& defaultModule) {
    static const char kFormat[] =
        "usage: oculo-grab [--slot N | --device NAME | --url URL [--module PATH]]\n"
        "                  [--seconds S | --watch] [--png FILE]\n"
        "       oculo-grab --list\n"
        "Watches a camera the way a capture application does and prints a line a second: what\n"
        "the samples did (their count and rate, stream time, whether the picture changed) and\n"
        "what the camera did (its state, the pictures it sent in that second, its picture size,\n"
        "and the reason when it is not streaming). At the end the last sample is written as a\n"
        "PNG snapshot.\n"
        "  --slot N       slot N's camera, 0 to %u (default: slot 0)\n"
        "  --device NAME  the video-input device of this name (any case), any camera\n"
        "  --url URL      a camera address, shown at %ux%u, %g fps through a throwaway registry,\n"
        "                 so your settings are not touched (Linux only)\n"
        "  --module PATH  the module to register for --url (default %s)\n"
        "  --seconds S    how long to watch, 1 to %d (default %d)\n"
        "  --watch        watch until Ctrl+C, which ends the watch as its time would (a second\n"
        "                 Ctrl+C ends the tool at once)\n"
        "  --png FILE     the snapshot (default oculo-snapshot.png)\n"
        "  --list         every video-input device, Oculo's with their slot\n"
        "Exit status: 0 the camera sent pictures during the watch (a still scene too) and the\n"
        "snapshot is written; 1 it sent none, or no snapshot could be written: the last line\n"
        "says why; 2 bad command line; 3 the slot is not usable (see oculo-config show N);\n"
        "4 the camera cannot be found, created, connected or run.\n";
    const auto format = [&](char* buffer, size_t size) {
        return std::snprintf(buffer, size, kFormat, unsigned(g_cSlots - 1), unsigned(kThrowawayWidth),
                             unsigned(kThrowawayHeight), double(kThrowawayFps), defaultModule.c_str(),
                             kGrabMaxSeconds, kGrabDefaultSeconds);
    };
    std::vector<char> text(size_t(format(nullptr, 0)) + 1, 0);
    format(text.data(), text.size());
    return text.data();
}
