// Sample videos made with libavcodec's own encoders: MPEG-4 part 2 pictures of a colour
// pattern and a sine tone as 16-bit PCM, in an AVI file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/video/video.h"

#include "platform/video/ffmpeg_library.h"

namespace korva::video {

void sample_colour(int32_t n, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t& r, uint8_t& g,
                   uint8_t& b) {
  // Four flat quadrants (they survive lossy coding, so tests can find them) and a white bar
  // that moves one step to the right each picture.
  const bool right = x >= width / 2, bottom = y >= height / 2;
  static constexpr uint8_t kQuadrant[4][3] = {{220, 30, 30}, {30, 200, 40}, {30, 50, 220}, {230, 210, 30}};
  const uint8_t* q = kQuadrant[(bottom ? 2 : 0) + (right ? 1 : 0)];
  r = q[0], g = q[1], b = q[2];
  const int32_t bar = std::max(width / 16, 2);
  const int32_t at = (n * bar / 2) % std::max(width - bar, 1);
  if (x >= at && x < at + bar && y >= height / 4 && y < height * 3 / 4) r = g = b = 240;
}

namespace {

struct Writer {
  AVFormatContext* format = nullptr;
  AVCodecContext* picture = nullptr;
  AVCodecContext* sound = nullptr;
  AVStream* picture_stream = nullptr;
  AVStream* sound_stream = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* packet = nullptr;
  SwsContext* to_yuv = nullptr;
  bool file_open = false;

  ~Writer() {
    ff().sws_freeContext(to_yuv);
    ff().av_packet_free(&packet);
    ff().av_frame_free(&frame);
    ff().avcodec_free_context(&picture);
    ff().avcodec_free_context(&sound);
    if (format) {
      if (file_open) ff().avio_closep(&format->pb);
      ff().avformat_free_context(format);
    }
  }
};

bool write_packets(Writer& w, AVCodecContext* c, AVStream* st, const AVFrame* f) {
  if (ff().avcodec_send_frame(c, f) < 0) return false;
  while (true) {
    const int r = ff().avcodec_receive_packet(c, w.packet);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
    if (r < 0) return false;
    ff().av_packet_rescale_ts(w.packet, c->time_base, st->time_base);
    w.packet->stream_index = st->index;
    if (ff().av_interleaved_write_frame(w.format, w.packet) < 0) return false;
  }
}

}  // namespace

bool write_sample(const std::string& path, const SampleOptions& o, std::string* problem) {
  auto fail = [&](const char* why) {
    if (problem) *problem = why;
    return false;
  };
  if (o.width < 16 || o.height < 16 || o.width > 4096 || o.height > 4096 || o.frames <= 0 || o.frame_rate <= 0)
    return fail("bad sample size");
  std::string missing;
  if (!ffmpeg_load(&missing)) {
    if (problem) *problem = missing;
    return false;
  }
  ff().av_log_set_level(AV_LOG_QUIET);
  const std::string temp = path + ".tmp";
  Writer w;
  if (ff().avformat_alloc_output_context2(&w.format, nullptr, "avi", temp.c_str()) < 0 || !w.format)
    return fail("no AVI writer");

  const AVCodec* mpeg4 = ff().avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  if (!mpeg4) return fail("no MPEG-4 encoder");
  w.picture = ff().avcodec_alloc_context3(mpeg4);
  w.picture->width = o.width & ~1;
  w.picture->height = o.height & ~1;
  w.picture->pix_fmt = AV_PIX_FMT_YUV420P;
  w.picture->time_base = AVRational{1, o.frame_rate};
  w.picture->framerate = AVRational{o.frame_rate, 1};
  w.picture->gop_size = 10;
  w.picture->bit_rate = int64_t(o.width) * o.height * o.frame_rate / 4;
  if (w.format->oformat->flags & AVFMT_GLOBALHEADER) w.picture->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (ff().avcodec_open2(w.picture, mpeg4, nullptr) < 0) return fail("the MPEG-4 encoder does not open");
  w.picture_stream = ff().avformat_new_stream(w.format, nullptr);
  if (!w.picture_stream || ff().avcodec_parameters_from_context(w.picture_stream->codecpar, w.picture) < 0)
    return fail("no picture stream");
  w.picture_stream->time_base = w.picture->time_base;

  constexpr int32_t kToneRate = 22050;
  if (o.tone_hz > 0) {
    const AVCodec* pcm = ff().avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE);
    if (!pcm) return fail("no PCM encoder");
    w.sound = ff().avcodec_alloc_context3(pcm);
    w.sound->sample_fmt = AV_SAMPLE_FMT_S16;
    w.sound->sample_rate = kToneRate;
    ff().av_channel_layout_default(&w.sound->ch_layout, 1);
    w.sound->time_base = AVRational{1, kToneRate};
    if (ff().avcodec_open2(w.sound, pcm, nullptr) < 0) return fail("the PCM encoder does not open");
    w.sound_stream = ff().avformat_new_stream(w.format, nullptr);
    if (!w.sound_stream || ff().avcodec_parameters_from_context(w.sound_stream->codecpar, w.sound) < 0)
      return fail("no sound stream");
    w.sound_stream->time_base = w.sound->time_base;
  }

  if (ff().avio_open(&w.format->pb, temp.c_str(), AVIO_FLAG_WRITE) < 0) return fail("the file cannot be written");
  w.file_open = true;
  if (ff().avformat_write_header(w.format, nullptr) < 0) return fail("the header cannot be written");
  w.frame = ff().av_frame_alloc();
  w.packet = ff().av_packet_alloc();
  const int32_t width = w.picture->width, height = w.picture->height;
  w.to_yuv = ff().sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height, AV_PIX_FMT_YUV420P, SWS_POINT, nullptr,
                            nullptr, nullptr);
  if (!w.frame || !w.packet || !w.to_yuv) return fail("out of memory");

  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  const int32_t samples_per_picture = kToneRate / o.frame_rate;
  std::vector<int16_t> tone(static_cast<size_t>(samples_per_picture));
  int64_t sample_at = 0;
  for (int32_t n = 0; n < o.frames; ++n) {
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) {
        uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        sample_colour(n, x, y, width, height, p[0], p[1], p[2]);
      }
    ff().av_frame_unref(w.frame);
    w.frame->format = AV_PIX_FMT_YUV420P;
    w.frame->width = width;
    w.frame->height = height;
    if (ff().av_frame_get_buffer(w.frame, 0) < 0) return fail("out of memory");
    const uint8_t* src[1] = {rgb.data()};
    const int src_stride[1] = {width * 3};
    ff().sws_scale(w.to_yuv, src, src_stride, 0, height, w.frame->data, w.frame->linesize);
    w.frame->pts = n;
    if (!write_packets(w, w.picture, w.picture_stream, w.frame)) return fail("a picture cannot be encoded");

    if (!w.sound) continue;
    for (int32_t i = 0; i < samples_per_picture; ++i)
      tone[i] = static_cast<int16_t>(9000 * std::sin(2 * M_PI * o.tone_hz * double(sample_at + i) / kToneRate));
    ff().av_frame_unref(w.frame);
    w.frame->format = AV_SAMPLE_FMT_S16;
    w.frame->sample_rate = kToneRate;
    ff().av_channel_layout_default(&w.frame->ch_layout, 1);
    w.frame->nb_samples = samples_per_picture;
    if (ff().av_frame_get_buffer(w.frame, 0) < 0) return fail("out of memory");
    std::memcpy(w.frame->data[0], tone.data(), tone.size() * 2);
    w.frame->pts = sample_at;
    sample_at += samples_per_picture;
    if (!write_packets(w, w.sound, w.sound_stream, w.frame)) return fail("the sound cannot be encoded");
  }
  if (!write_packets(w, w.picture, w.picture_stream, nullptr)) return fail("a picture cannot be encoded");
  if (w.sound && !write_packets(w, w.sound, w.sound_stream, nullptr)) return fail("the sound cannot be encoded");
  if (ff().av_write_trailer(w.format) < 0) return fail("the file cannot be finished");
  ff().avio_closep(&w.format->pb);
  w.file_open = false;
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return fail("the file cannot be renamed into place");
  }
  return true;
}

}  // namespace korva::video
