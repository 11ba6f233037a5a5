// A camera-like H.264 stream for the benches' RTSP camera (rtsp_server
// --file): a moving test pattern with sensor noise, a key picture every two
// seconds, no B-pictures, at the bit rate a camera of that size sends. Made
// with the ffmpeg program. Linux only.
#pragma once

#include <cstdlib>
#include <string>

inline bool MakeCameraStream(const std::string& path, int width, int height, int kbps) {
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string rate = std::to_string(kbps) + "k";
    const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc2=size=" + size +
                                ":rate=25 -vf noise=alls=6:allf=t -t 10 -c:v libx264 -preset veryfast -b:v " + rate +
                                " -maxrate " + rate + " -bufsize " + rate + " -g 50 -bf 0 -pix_fmt yuv420p -f h264 " +
                                path;
    return std::system(command.c_str()) == 0;
}
