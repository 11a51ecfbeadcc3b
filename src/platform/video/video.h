// Video files on FFmpeg: a decoder that hands out pictures and pieces of sound in file order,
// draws the last picture scaled into a rectangle of a display surface, and gives the sound as
// 16-bit stereo at one fixed rate. Files are untrusted: anything that does not open or stops
// decoding ends as "no video" or an early end, never a crash or a hang. Knows nothing of Korva.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korva::video {

// The sound of every video comes out at this rate, interleaved stereo.
constexpr int32_t kSoundRate = 44100;
// A rectangle larger than this on a side draws nothing (a brain's numbers are untrusted).
constexpr int32_t kMaxDrawSide = 4096;

struct Decoder;
struct DecoderDeleter {
  void operator()(Decoder* d) const;
};
using DecoderPtr = std::unique_ptr<Decoder, DecoderDeleter>;

// nullptr when the file does not open or has neither a picture nor a sound stream that can be
// decoded; problem (when given) says why.
DecoderPtr open(const std::string& path, std::string* problem = nullptr);

struct Info {
  bool has_picture = false;
  bool has_sound = false;
  int32_t width = 0;
  int32_t height = 0;
  double frame_rate = 0;  // pictures per second (0 when the file does not say)
};
Info info(const Decoder& d);

// Stops decoding pictures (a player that only plays the sound, such as background music).
void drop_pictures(Decoder& d);

enum class Event : int32_t { Picture, Sound, End };
// Decodes on until the next picture or piece of sound, or the end of the file (also where a
// damaged file cannot be decoded further).
Event next(Decoder& d);
// The presentation time in seconds of what next() returned last.
double time(const Decoder& d);
// The last piece of sound: interleaved left, right at kSoundRate.
const std::vector<int16_t>& sound(const Decoder& d);
// Draws the last picture scaled into x, y, width, height of the surface; the parts outside the
// surface are cut off. Nothing happens without a picture or while the surface is lost.
void draw(Decoder& d, platform::Surface& s, int32_t x, int32_t y, int32_t width, int32_t height);

// The files of FFmpeg's libraries as this process loads them (the first video opened loads
// them; this call does too), for a stand-alone game that bundles them. Empty without FFmpeg.
struct LibraryFile {
  std::string name;  // the name the loader looks for, e.g. "libavcodec.so.59"
  std::string path;
};
std::vector<LibraryFile> library_files();

// ---- Sample videos ----

struct SampleOptions {
  int32_t width = 160;
  int32_t height = 120;
  int32_t frames = 40;
  int32_t frame_rate = 20;
  int32_t tone_hz = 440;  // 0: no sound stream
};
// Writes an MPEG-4 video in AVI with a moving colour pattern and a sine tone (16-bit PCM). The
// file is written beside path and renamed over it. False when it cannot be written.
bool write_sample(const std::string& path, const SampleOptions& o, std::string* problem = nullptr);
// The colour the sample pattern gives pixel x, y of picture n (tests compare against it).
void sample_colour(int32_t n, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t& r, uint8_t& g,
                   uint8_t& b);

}  // namespace korva::video
