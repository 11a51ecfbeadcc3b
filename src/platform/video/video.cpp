// The video decoder on libavformat and libavcodec, pictures through libswscale and sound
// through libswresample, all loaded with the first file opened.
#include "platform/video/video.h"

#include "platform/video/ffmpeg_library.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace korva::video {

namespace {

// A damaged file may make the decoders refuse packet after packet; after this many refusals in
// a row (or this many packets without any output) the file counts as ended.
constexpr int32_t kMaxErrorsInARow = 64;
constexpr int32_t kMaxPacketsWithoutOutput = 4096;
// Pictures larger than this on a side are refused (FFmpeg checks the product as well).
constexpr int32_t kMaxPictureSide = 8192;

struct Stream {
  int32_t index = -1;
  AVCodecContext* codec = nullptr;
  bool flushed = false;  // the end of the file was sent to the decoder
  bool done = false;     // the decoder has given its last frame
};

AVPixelFormat surface_format(platform::PixelFormat f) {
  switch (f) {
    case platform::PixelFormat::Rgb565: return AV_PIX_FMT_RGB565;
    case platform::PixelFormat::Rgb555: return AV_PIX_FMT_RGB555;
    case platform::PixelFormat::Xrgb8888: return AV_PIX_FMT_BGR0;  // 0x00RRGGBB, little-endian
  }
  return AV_PIX_FMT_RGB565;
}

}  // namespace

struct Decoder {
  AVFormatContext* format = nullptr;
  Stream picture, audio;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  AVFrame* last_picture = nullptr;  // the picture draw() shows
  SwsContext* scaler = nullptr;
  SwrContext* resampler = nullptr;
  std::vector<int16_t> samples;
  std::vector<uint8_t> scaled;  // the scaled picture before it is cut to the surface
  double time = 0;
  double frame_rate = 0;
  bool at_end = false;
  int32_t errors_in_a_row = 0;
  int32_t packets_without_output = 0;

  ~Decoder() {
    ff().sws_freeContext(scaler);
    ff().swr_free(&resampler);
    ff().av_frame_free(&last_picture);
    ff().av_frame_free(&frame);
    ff().av_packet_free(&packet);
    ff().avcodec_free_context(&picture.codec);
    ff().avcodec_free_context(&audio.codec);
    ff().avformat_close_input(&format);
  }
};

void DecoderDeleter::operator()(Decoder* d) const { delete d; }

namespace {

bool open_stream(Decoder& d, AVMediaType type, Stream& out) {
  const AVCodec* codec = nullptr;
  const int index = ff().av_find_best_stream(d.format, type, -1, -1, &codec, 0);
  if (index < 0 || !codec) return false;
  const AVCodecParameters* par = d.format->streams[index]->codecpar;
  if (type == AVMEDIA_TYPE_VIDEO &&
      (par->width <= 0 || par->height <= 0 || par->width > kMaxPictureSide || par->height > kMaxPictureSide))
    return false;
  if (type == AVMEDIA_TYPE_AUDIO && (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0))
    return false;
  AVCodecContext* c = ff().avcodec_alloc_context3(codec);
  if (!c) return false;
  c->thread_count = 1;  // one core for the decoder: the game runs beside it
  if (ff().avcodec_parameters_to_context(c, par) < 0 || ff().avcodec_open2(c, codec, nullptr) < 0) {
    ff().avcodec_free_context(&c);
    return false;
  }
  out.index = index;
  out.codec = c;
  return true;
}

bool make_resampler(Decoder& d) {
  AVCodecContext* c = d.audio.codec;
  AVChannelLayout in{};
  if (c->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || ff().av_channel_layout_check(&c->ch_layout) == 0)
    ff().av_channel_layout_default(&in, c->ch_layout.nb_channels);
  else if (ff().av_channel_layout_copy(&in, &c->ch_layout) < 0)
    return false;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  const int r = ff().swr_alloc_set_opts2(&d.resampler, &stereo, AV_SAMPLE_FMT_S16, kSoundRate, &in, c->sample_fmt,
                                    c->sample_rate, 0, nullptr);
  ff().av_channel_layout_uninit(&in);
  return r >= 0 && ff().swr_init(d.resampler) >= 0;
}

double seconds(const Decoder& d, const Stream& s, int64_t pts, double fallback) {
  if (pts == AV_NOPTS_VALUE) return fallback;
  const double t = static_cast<double>(pts) * av_q2d(d.format->streams[s.index]->time_base);
  return t >= 0 && t < 1e7 ? t : fallback;
}

// Takes the frame just decoded from the picture stream.
Event take_picture(Decoder& d) {
  ff().av_frame_unref(d.last_picture);
  ff().av_frame_move_ref(d.last_picture, d.frame);
  const double step = d.frame_rate > 0 ? 1.0 / d.frame_rate : 0.04;
  d.time = seconds(d, d.picture, d.last_picture->best_effort_timestamp, d.time + step);
  return Event::Picture;
}

// Resamples the frame just decoded from the sound stream; false when it gave no samples.
bool take_sound(Decoder& d) {
  const AVFrame* f = d.frame;
  const int64_t delay = ff().swr_get_delay(d.resampler, d.audio.codec->sample_rate);
  const int64_t room = ff().av_rescale_rnd(delay + f->nb_samples, kSoundRate, d.audio.codec->sample_rate, AV_ROUND_UP) + 16;
  if (f->nb_samples <= 0 || room <= 0 || room > (int64_t(1) << 22)) return false;
  d.samples.resize(static_cast<size_t>(room) * 2);
  uint8_t* out = reinterpret_cast<uint8_t*>(d.samples.data());
  const int n = ff().swr_convert(d.resampler, &out, static_cast<int>(room), const_cast<const uint8_t**>(f->extended_data),
                            f->nb_samples);
  if (n <= 0) return false;
  d.samples.resize(static_cast<size_t>(n) * 2);
  d.time = seconds(d, d.audio, f->best_effort_timestamp, d.time);
  return true;
}

// One frame from a stream's decoder: Picture or Sound when one came, End when it has none
// waiting (it needs another packet, or it is done).
Event receive(Decoder& d, Stream& s) {
  if (!s.codec || s.done) return Event::End;
  while (true) {
    const int r = ff().avcodec_receive_frame(s.codec, d.frame);
    if (r == AVERROR(EAGAIN)) return Event::End;
    if (r < 0) {  // the end, or a decoder that cannot go on
      if (r != AVERROR_EOF || s.flushed) s.done = true;
      return Event::End;
    }
    d.errors_in_a_row = 0;
    d.packets_without_output = 0;
    if (&s == &d.picture) return take_picture(d);
    const bool got = take_sound(d);
    ff().av_frame_unref(d.frame);
    if (got) return Event::Sound;
  }
}

void send(Decoder& d, Stream& s, const AVPacket* p) {
  if (!s.codec || s.flushed) return;
  if (!p) s.flushed = true;
  const int r = ff().avcodec_send_packet(s.codec, p);
  if (r < 0 && r != AVERROR(EAGAIN)) {
    ++d.errors_in_a_row;
    if (!p) s.done = true;
  }
}

}  // namespace

DecoderPtr open(const std::string& path, std::string* problem) {
  auto fail = [&](const char* why) {
    if (problem) *problem = why;
    return DecoderPtr{};
  };
  std::error_code ec;
  // Only plain files: a pipe or a device would block the reader.
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) return fail("no such file");
  std::string missing;
  if (!ffmpeg_load(&missing)) {
    if (problem) *problem = missing;
    return DecoderPtr{};
  }
  ff().av_log_set_level(AV_LOG_QUIET);
  DecoderPtr d(new Decoder);
  if (ff().avformat_open_input(&d->format, path.c_str(), nullptr, nullptr) < 0) {
    d->format = nullptr;
    return fail("not a video file");
  }
  if (ff().avformat_find_stream_info(d->format, nullptr) < 0) return fail("the video's streams cannot be read");
  const bool picture = open_stream(*d, AVMEDIA_TYPE_VIDEO, d->picture);
  bool sound = open_stream(*d, AVMEDIA_TYPE_AUDIO, d->audio);
  d->packet = ff().av_packet_alloc();
  d->frame = ff().av_frame_alloc();
  d->last_picture = ff().av_frame_alloc();
  if (!d->packet || !d->frame || !d->last_picture) return fail("out of memory");
  if (sound && !make_resampler(*d)) {
    ff().avcodec_free_context(&d->audio.codec);
    d->audio = Stream{};
    sound = false;
  }
  if (!picture && !sound) return fail("no picture or sound that can be decoded");
  if (picture) {
    const AVRational r = ff().av_guess_frame_rate(d->format, d->format->streams[d->picture.index], nullptr);
    if (r.num > 0 && r.den > 0) d->frame_rate = av_q2d(r);
    if (d->frame_rate > 1000) d->frame_rate = 0;
  }
  return d;
}

Info info(const Decoder& d) {
  Info i;
  i.has_picture = d.picture.codec != nullptr;
  i.has_sound = d.audio.codec != nullptr;
  if (i.has_picture) {
    i.width = d.picture.codec->width;
    i.height = d.picture.codec->height;
  }
  i.frame_rate = d.frame_rate;
  return i;
}

void drop_pictures(Decoder& d) {
  if (!d.audio.codec) return;  // the pictures are all there is
  ff().avcodec_free_context(&d.picture.codec);
  d.picture = Stream{};
}

Event next(Decoder& d) {
  while (!d.at_end) {
    // Frames the decoders already hold come first.
    for (Stream* s : {&d.picture, &d.audio}) {
      const Event e = receive(d, *s);
      if (e != Event::End) return e;
    }
    const bool picture_over = !d.picture.codec || d.picture.done;
    const bool sound_over = !d.audio.codec || d.audio.done;
    if (picture_over && sound_over) break;
    if (d.errors_in_a_row > kMaxErrorsInARow || d.packets_without_output > kMaxPacketsWithoutOutput) break;
    if (d.picture.flushed || d.audio.flushed) {
      // Flushed decoders that still say "again" have nothing more to give.
      if (d.picture.codec) d.picture.done = true;
      if (d.audio.codec) d.audio.done = true;
      continue;
    }
    const int r = ff().av_read_frame(d.format, d.packet);
    if (r < 0) {
      send(d, d.picture, nullptr);
      send(d, d.audio, nullptr);
      continue;
    }
    ++d.packets_without_output;
    if (d.packet->stream_index == d.picture.index) send(d, d.picture, d.packet);
    else if (d.packet->stream_index == d.audio.index) send(d, d.audio, d.packet);
    ff().av_packet_unref(d.packet);
  }
  d.at_end = true;
  return Event::End;
}

double time(const Decoder& d) { return d.time; }

const std::vector<int16_t>& sound(const Decoder& d) { return d.samples; }

void draw(Decoder& d, platform::Surface& s, int32_t x, int32_t y, int32_t width, int32_t height) {
  const AVFrame* f = d.last_picture;
  if (!f || f->width <= 0 || f->height <= 0 || !f->data[0]) return;
  if (width <= 0 || height <= 0 || width > kMaxDrawSide || height > kMaxDrawSide) return;
  // The part of the rectangle on the surface.
  const int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int32_t x1 = std::min<int64_t>(int64_t(x) + width, s.width), y1 = std::min<int64_t>(int64_t(y) + height, s.height);
  if (x0 >= x1 || y0 >= y1) return;
  const AVPixelFormat out = surface_format(s.format);
  d.scaler = ff().sws_getCachedContext(d.scaler, f->width, f->height, static_cast<AVPixelFormat>(f->format), width, height,
                                  out, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!d.scaler) return;
  const int32_t bpp = platform::bytes_per_pixel(s.format);
  const int32_t row = width * bpp;
  d.scaled.resize(static_cast<size_t>(row) * height);
  uint8_t* planes[4] = {d.scaled.data(), nullptr, nullptr, nullptr};
  int strides[4] = {row, 0, 0, 0};
  if (ff().sws_scale(d.scaler, f->data, f->linesize, 0, f->height, planes, strides) <= 0) return;
  uint8_t* pixels = platform::surface_lock(s);
  if (!pixels) return;
  for (int32_t py = y0; py < y1; ++py)
    std::memcpy(pixels + static_cast<size_t>(py) * s.pitch + static_cast<size_t>(x0) * bpp,
                d.scaled.data() + static_cast<size_t>(py - y) * row + static_cast<size_t>(x0 - x) * bpp,
                static_cast<size_t>(x1 - x0) * bpp);
  platform::surface_unlock(s);
}

}  // namespace korva::video
