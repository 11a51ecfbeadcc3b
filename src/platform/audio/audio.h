// The sound device on OpenAL Soft: one context with its listener, mono PCM buffers and 3D
// sources. Scene coordinates are left-handed (x right, y up, z forward); OpenAL's are
// right-handed, so z is mirrored here and nowhere else. Knows nothing of Korva.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace korva::audio {

enum class Open : int32_t {
  Default,   // the default output device, or a loopback device when there is none
  Loopback,  // always a loopback device (tests read its samples back)
};

// Loopback devices mix at this rate, in 16-bit stereo.
constexpr int32_t kLoopbackRate = 44100;

struct Device;
struct DeviceDeleter {
  void operator()(Device* d) const;
};
using DevicePtr = std::unique_ptr<Device, DeviceDeleter>;

// nullptr when not even a loopback device can be made.
DevicePtr open(Open how);
bool is_loopback(const Device& d);

// Mixes frames of 16-bit stereo (left, right) from a loopback device; an output device mixes
// by itself and this does nothing. Also what moves a loopback device's sources along in time.
void render(Device& d, int32_t frames, std::vector<int16_t>* out);

// Defers every source and listener change until commit, then applies them together.
void defer(Device& d);
void commit(Device& d);

using Buffer = uint32_t;  // 0: none
using Source = uint32_t;  // 0: none

// A buffer of mono samples (8-bit unsigned or 16-bit signed) at rate; 0 on failure.
Buffer buffer_create(Device& d, std::span<const uint8_t> samples, int32_t bits, int32_t rate);
void buffer_release(Device& d, Buffer b);

// A source that plays b, positional, with the inverse-distance-clamped model.
Source source_create(Device& d, Buffer b);
void source_release(Device& d, Source s);
void source_play(Device& d, Source s, bool loop);
void source_stop(Device& d, Source s);  // stops and rewinds
bool source_playing(Device& d, Source s);
void source_position(Device& d, Source s, double x, double y, double z);
void source_velocity(Device& d, Source s, double x, double y, double z);
void source_gain(Device& d, Source s, double gain);
void source_pitch(Device& d, Source s, double pitch);
void source_distances(Device& d, Source s, double reference, double maximum);
// A listener-relative source at the origin: heard at full level in both ears, unpositioned.
void source_head_relative(Device& d, Source s, bool relative);

// Streams: a listener-relative source that plays pieces of 16-bit stereo one after another
// (the sound of a video). Pieces are queued behind each other and released once played.
Source stream_create(Device& d);
// Queues a piece (interleaved left, right at rate) and starts the source again when it had run
// dry. False when it cannot be queued.
bool stream_queue(Device& d, Source s, std::span<const int16_t> stereo, int32_t rate);
// Releases the pieces already played; returns how many are still waiting or playing.
int32_t stream_pending(Device& d, Source s);
// Stops the stream and releases the source with every piece it holds.
void stream_release(Device& d, Source s);

void listener_position(Device& d, double x, double y, double z);
// at: where the listener looks, up: its top; both in scene axes.
void listener_orientation(Device& d, const double at[3], const double up[3]);
void listener_gain(Device& d, double gain);

}  // namespace korva::audio
