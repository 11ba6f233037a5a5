#include "camera/DecodePacket.h"

int DecodePacket(AVCodecContext* context, AVFrame* frame, bool* gotPicture, const AVPacket* packet) {
    *gotPicture = false;
    if (packet) {
        const int sent = avcodec_send_packet(context, packet);
        if (sent < 0 && sent != AVERROR_EOF) return sent;
    }
    const int received = avcodec_receive_frame(context, frame);
    if (received < 0 && received != AVERROR(EAGAIN)) return received;
    if (received >= 0) *gotPicture = true;
    return 0;
}
