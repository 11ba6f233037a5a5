// Readers of a camera's SOAP answers to the questions a camera search asks,
// whatever SOAP version, prefixes and media service version it answers in.
// Each is false for anything that is not the answer it reads (a fault, an
// answer too large or too deep, a value out of range).
//
// Pure functions on text; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// GetSystemDateAndTime: the camera's clock, UTC seconds since 1970.
bool ParseCameraClock(std::string_view answer, int64_t* utcSeconds);

// GetServices or GetCapabilities: where the media services answer (empty:
// not offered). Media2 is the newer one; GetCapabilities names only Media.
struct MediaServices {
    std::string media;
    std::string media2;
};
bool ParseMediaServices(std::string_view answer, MediaServices* services);

// GetProfiles (Media or Media2): the profiles that carry video.
constexpr size_t kMaxProfiles = 16;
struct MediaProfile {
    std::string token;
    std::string name;
    std::string codec;  // "H.264", "H.265", "JPEG", "MPEG-4", or as the camera names it
    int width = 0;
    int height = 0;
    double fps = 0.0;  // 0: the camera gave no limit
};
bool ParseProfiles(std::string_view answer, std::vector<MediaProfile>* profiles);

// GetStreamUri (Media or Media2): the address as the camera wrote it.
bool ParseStreamUri(std::string_view answer, std::string* uri);
