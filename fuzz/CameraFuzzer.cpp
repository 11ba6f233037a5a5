// The camera path over arbitrary bytes served as a Motion-JPEG stream: the
// reader's own decoder set-up and read, decode and convert loop, fed from
// memory instead of a socket (a custom FFmpeg I/O context over the input),
// delivering into a frame store as the pin's is. The first byte picks the
// demuxer: the raw Motion-JPEG one the reader uses for HTTP addresses, or
// the multipart one. Pictures whose headers claim more than about a million
// pixels are left out, so one input stays fast; the input's length bounds the
// pictures per input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camera/RTSPCamera.h"
#include "camera/StreamContext.h"
#include "filter/FrameStore.h"
#include "fuzz/FuzzInput.h"

namespace {

constexpr int kIoBufferBytes = 4096;
constexpr uint32_t kMaxPixels = 1u << 20;

// True when some start-of-frame header in the bytes claims a picture larger
// than kMaxPixels (a conservative scan: any marker-like bytes count).
bool ClaimsHugePicture(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 9 <= size; ++i) {
        if (data[i] != 0xFF) continue;
        const uint8_t marker = data[i + 1];
        if (marker < 0xC0 || marker > 0xCF || marker == 0xC4 || marker == 0xC8 || marker == 0xCC) continue;
        const uint32_t height = uint32_t(data[i + 5]) << 8 | data[i + 6];
        const uint32_t width = uint32_t(data[i + 7]) << 8 | data[i + 8];
        if (uint64_t(width) * height > kMaxPixels) return true;
    }
    return false;
}

class CMemoryCamera : public CRTSPCamera {
public:
    CMemoryCamera(CIPCameraCallback* callback, const uint8_t* data, size_t size, bool multipart)
        : CRTSPCamera(callback), m_data(data), m_size(size), m_multipart(multipart) {}
    ~CMemoryCamera() override {
        Close();
        if (m_io) av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }

    // The connection: the forced demuxer over the bytes, then the reader's decoder.
    bool Open(LPCWSTR) override {
        Close();
        StreamContext* c = new StreamContext;
        m_pContext = c;
        c->formatContext = avformat_alloc_context();
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
        m_io = avio_alloc_context(buffer, kIoBufferBytes, 0, this, Read, nullptr, nullptr);
        if (!c->formatContext || !buffer || !m_io) {
            if (!m_io) av_free(buffer);
            return false;
        }
        c->formatContext->pb = m_io;
        const AVInputFormat* format = av_find_input_format(m_multipart ? "mpjpeg" : "mjpeg");
        if (avformat_open_input(&c->formatContext, nullptr, format, nullptr) != 0) return false;
        if (avformat_find_stream_info(c->formatContext, nullptr) < 0) return false;
        return OpenDecoder();
    }

    void Run() {
        if (Open(nullptr)) ReadFrames();
        Close();
    }

private:
    static int Read(void* opaque, uint8_t* buffer, int size) {
        CMemoryCamera* self = static_cast<CMemoryCamera*>(opaque);
        const size_t left = self->m_size - self->m_at;
        if (left == 0) return AVERROR_EOF;
        const size_t count = left < size_t(size) ? left : size_t(size);
        std::memcpy(buffer, self->m_data + self->m_at, count);
        self->m_at += count;
        return int(count);
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
    bool m_multipart;
    AVIOContext* m_io = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || ClaimsHugePicture(data, size)) return 0;
    FuzzInput in(data, size);
    const uint8_t mode = in.Byte();
    CFrameStore store;
    store.ResizeFrameStore(64, 48);
    if (mode & 2) store.SetCropBounds(4, 2, 40, 30);
    CMemoryCamera camera(&store, data + 1, size - 1, mode & 1);
    camera.Run();
    if (std::getenv("OCULO_FUZZ_VERBOSE")) std::fprintf(stderr, "pictures: %d\n", int(camera.GetFrameCount()));
    return 0;
}
