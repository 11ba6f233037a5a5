// Peak resident memory of one slot's reader fed a camera whose pictures are
// larger than any camera's (16000 x 16000 by default: a 1.5 MB JPEG that
// decodes to 384 MB, and 768 MB more once converted), into a 640 x 480
// store as the pin's; or, with --part, a camera whose second part announces
// LENGTH bytes (300000000 by default; 0: announces none and never ends).
// Prints the process's peak before the run and after it.
// Linux only (/proc/self/status).
//     camera_memory_bench [width height [seconds]]
//     camera_memory_bench --part [LENGTH [seconds]]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "camera/ExtendedTickCount.h"
#include "camera/RTSPCamera.h"
#include "filter/FrameStore.h"
#include "tests/fixtures/FixtureProcess.h"

namespace {

// The process's peak resident memory so far, in MB.
double PeakResidentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> camera;
    std::string fed;
    if (argc > 1 && std::strcmp(argv[1], "--part") == 0) {
        const std::string length = argc > 2 ? argv[2] : "300000000";
        camera = {"--huge-part", length, "--fault-after", "1"};
        fed = length == "0" ? "a part that never ends" : "a part announcing " + length + " bytes";
    } else {
        const std::string width = argc > 2 ? argv[1] : "16000", height = argc > 2 ? argv[2] : "16000";
        camera = {"--plain", "--width", width, "--height", height, "--fps", "2"};
        fed = width + "x" + height + " pictures";
    }
    const DWORD seconds = argc > 3 ? DWORD(std::atoi(argv[3])) : 8;
    CFixtureProcess server;
    if (!server.Start(MjpegServerCommand(camera))) {
        std::fprintf(stderr, "the test camera did not start\n");
        return 1;
    }
    CFrameStore store;
    store.ResizeFrameStore(640, 480);
    const double before = PeakResidentMb();
    {
        CRTSPCamera camera(&store);
        const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/";
        camera.Start(std::wstring(url.begin(), url.end()).c_str());
        Sleep(seconds * 1000);
        std::printf("pictures delivered: %ld\n", static_cast<long>(camera.GetFrameCount()));
        camera.Stop();
    }
    std::printf("one slot fed %s for %lu s: peak resident memory %.0f MB before the run, %.0f MB after\n",
                fed.c_str(), static_cast<unsigned long>(seconds), before, PeakResidentMb());
    return 0;
}
