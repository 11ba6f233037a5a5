#include "bench/common/BareDecoder.h"

#include <vector>

#include "bench/common/BenchClock.h"

namespace {

// BGR24 at the picture's own size; the converter follows a camera that
// changes its size or format, as the reader does.
class CBgrConverter {
public:
    ~CBgrConverter() { sws_freeContext(m_scaler); }
    bool Convert(const AVFrame& frame) {
        m_scaler = sws_getCachedContext(m_scaler, frame.width, frame.height, AVPixelFormat(frame.format),
                                        frame.width, frame.height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr,
                                        nullptr);
        if (!m_scaler) return false;
        const int size = av_image_get_buffer_size(AV_PIX_FMT_BGR24, frame.width, frame.height, 4);
        if (size <= 0) return false;
        m_bgr.resize(size_t(size));
        av_image_fill_arrays(m_planes, m_lines, m_bgr.data(), AV_PIX_FMT_BGR24, frame.width, frame.height, 4);
        return sws_scale(m_scaler, frame.data, frame.linesize, 0, frame.height, m_planes, m_lines) > 0;
    }

private:
    SwsContext* m_scaler = nullptr;
    std::vector<uint8_t> m_bgr;
    uint8_t* m_planes[4] = {};
    int m_lines[4] = {};
};

}  // namespace

int CBareDecoder::Interrupt(void* opaque) { return static_cast<CBareDecoder*>(opaque)->Ended() ? 1 : 0; }

bool CBareDecoder::Ended() const { return m_bStop.load() || (m_endMs > 0 && WallMs() > m_endMs); }

void CBareDecoder::Start(const std::string& url, const BareOptions& options, const BarePicture& onPicture) {
    m_thread = std::thread([this, url, options, onPicture] { m_bRan = Run(url, options, onPicture); });
}

bool CBareDecoder::Stop() {
    m_bStop = true;
    if (m_thread.joinable()) m_thread.join();
    return m_bRan;
}

bool CBareDecoder::Run(const std::string& url, const BareOptions& options, const BarePicture& onPicture) {
    m_endMs = options.limitMs > 0 ? WallMs() + options.limitMs : 0;
    AVFormatContext* format = avformat_alloc_context();
    if (!format) return false;
    format->interrupt_callback = {&CBareDecoder::Interrupt, this};
    const AVInputFormat* input = options.demuxer.empty() ? nullptr : av_find_input_format(options.demuxer.c_str());
    AVDictionary* dictionary = nullptr;
    if (options.bRtspOverTcp) av_dict_set(&dictionary, "rtsp_transport", "tcp", 0);
    const int opened = avformat_open_input(&format, url.c_str(), input, &dictionary);
    av_dict_free(&dictionary);
    if (opened < 0) return false;  // the format context is freed on failure
    bool ok = false;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    const int index = !options.bFindInfo || avformat_find_stream_info(format, nullptr) >= 0
                          ? av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0)
                          : -1;
    const AVCodec* decoder = index >= 0 ? avcodec_find_decoder(format->streams[index]->codecpar->codec_id) : nullptr;
    if (decoder && frame && packet && (codec = avcodec_alloc_context3(decoder)) &&
        avcodec_parameters_to_context(codec, format->streams[index]->codecpar) >= 0 &&
        avcodec_open2(codec, decoder, nullptr) >= 0) {
        ok = true;
        CBgrConverter converter;
        bool bMore = true;
        while (bMore && !Ended() && av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == index && avcodec_send_packet(codec, packet) >= 0) {
                while (avcodec_receive_frame(codec, frame) >= 0) {
                    if (bMore && (!options.bConvert || converter.Convert(*frame))) bMore = onPicture(*frame);
                    av_frame_unref(frame);
                }
            }
            av_packet_unref(packet);
        }
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return ok;
}
