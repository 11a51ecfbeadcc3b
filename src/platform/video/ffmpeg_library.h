// FFmpeg's libraries, loaded when the first video is opened or written rather than at start-up:
// with what they need they are over a hundred shared libraries, which would cost every run tens
// of milliseconds and several MiB before its first picture, while most projects never play a
// video. The functions the video code calls are reached through one table.
#pragma once
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <string>

namespace korva::video {

// Every FFmpeg function the video code calls.
#define KORVA_FFMPEG_FUNCTIONS(X)                                                                             \
  X(av_channel_layout_check) X(av_channel_layout_copy) X(av_channel_layout_default)                         \
  X(av_channel_layout_uninit) X(av_frame_alloc) X(av_frame_free) X(av_frame_get_buffer)                     \
  X(av_frame_move_ref) X(av_frame_unref) X(av_log_set_level) X(av_rescale_rnd) X(av_find_best_stream)      \
  X(av_guess_frame_rate) X(av_interleaved_write_frame) X(av_read_frame) X(av_write_trailer)                \
  X(av_packet_alloc) X(av_packet_free) X(av_packet_rescale_ts) X(av_packet_unref)                           \
  X(avcodec_alloc_context3) X(avcodec_find_encoder) X(avcodec_free_context) X(avcodec_open2)                \
  X(avcodec_parameters_from_context) X(avcodec_parameters_to_context) X(avcodec_receive_frame)             \
  X(avcodec_receive_packet) X(avcodec_send_frame) X(avcodec_send_packet)                                    \
  X(avformat_alloc_output_context2) X(avformat_close_input) X(avformat_find_stream_info)                    \
  X(avformat_free_context) X(avformat_new_stream) X(avformat_open_input) X(avformat_write_header)          \
  X(avio_closep) X(avio_open) X(swr_alloc_set_opts2) X(swr_convert) X(swr_free) X(swr_get_delay)           \
  X(swr_init) X(sws_freeContext) X(sws_getCachedContext) X(sws_getContext) X(sws_scale)

struct FFmpeg {
#define KORVA_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
  KORVA_FFMPEG_FUNCTIONS(KORVA_FFMPEG_POINTER)
#undef KORVA_FFMPEG_POINTER
};

// The table, loaded by the first call; nullptr when a library or a function is missing (then
// no video opens or is written), with problem (when given) saying which.
const FFmpeg* ffmpeg_load(std::string* problem = nullptr);
// The loaded table: only where ffmpeg_load has succeeded (every decoder and writer exists after
// that).
const FFmpeg& ff();

}  // namespace korva::video
