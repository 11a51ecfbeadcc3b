// The sound device on OpenAL Soft, with a loopback device (ALC_SOFT_loopback) when no output
// device opens, and batched updates through AL_SOFT_deferred_updates when it is there.
#include "platform/audio/audio.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace korva::audio {

struct Device {
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  bool loopback = false;
  LPALCRENDERSAMPLESSOFT render_samples = nullptr;
  LPALDEFERUPDATESSOFT defer_updates = nullptr;
  LPALPROCESSUPDATESSOFT process_updates = nullptr;
};

namespace {

// Makes d's context current: every AL call below goes to it.
void use(Device& d) {
  if (alcGetCurrentContext() != d.context) alcMakeContextCurrent(d.context);
}

// Sources the context must offer: 256 element sounds and 500 free-standing ones, with room.
constexpr ALCint kSources = 1024;

bool finish(Device& d) {
  if (!d.context || alcMakeContextCurrent(d.context) != ALC_TRUE) return false;
  alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
  if (alIsExtensionPresent("AL_SOFT_deferred_updates")) {
    d.defer_updates = reinterpret_cast<LPALDEFERUPDATESSOFT>(alGetProcAddress("alDeferUpdatesSOFT"));
    d.process_updates = reinterpret_cast<LPALPROCESSUPDATESSOFT>(alGetProcAddress("alProcessUpdatesSOFT"));
  }
  return true;
}

// True when this machine can have no output: no sound card (servers, CI) and no sound server
// socket. Asking ALSA there would only fill the terminal with its complaints.
bool no_output_possible() {
  std::ifstream cards("/proc/asound/cards");
  std::string first;
  const bool cards_listed = cards && std::getline(cards, first) && first.find("no soundcards") == std::string::npos;
  if (cards_listed) return false;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return true;
  std::error_code ec;
  for (const char* socket : {"/pulse/native", "/pipewire-0"})
    if (std::filesystem::exists(std::string(runtime) + socket, ec)) return false;
  return true;
}

bool open_output(Device& d) {
  if (no_output_possible()) return false;  // the loopback device takes over
  // OpenAL's own error lines about a device it cannot open would only worry the user; set
  // ALSOFT_LOGLEVEL to see them.
  setenv("ALSOFT_LOGLEVEL", "0", 0);
  d.device = alcOpenDevice(nullptr);
  if (!d.device) return false;
  const ALCint attributes[] = {ALC_MONO_SOURCES, kSources, 0};
  d.context = alcCreateContext(d.device, attributes);
  return finish(d);
}

bool open_loopback(Device& d) {
  if (!alcIsExtensionPresent(nullptr, "ALC_SOFT_loopback")) return false;
  auto open_fn = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
  d.render_samples = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
  if (!open_fn || !d.render_samples) return false;
  d.device = open_fn(nullptr);
  if (!d.device) return false;
  d.loopback = true;
  // Plain stereo panning (no HRTF), so that left and right are simply the two channels.
  const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_SHORT_SOFT,
                               ALC_FREQUENCY, kLoopbackRate, ALC_HRTF_SOFT, ALC_FALSE,
                               ALC_MONO_SOURCES, kSources, 0};
  d.context = alcCreateContext(d.device, attributes);
  return finish(d);
}

void close(Device& d) {
  if (d.context) {
    if (alcGetCurrentContext() == d.context) alcMakeContextCurrent(nullptr);
    alcDestroyContext(d.context);
  }
  if (d.device) alcCloseDevice(d.device);
  d.context = nullptr;
  d.device = nullptr;
}

ALfloat f(double v) { return static_cast<ALfloat>(v); }

}  // namespace

void DeviceDeleter::operator()(Device* d) const {
  if (!d) return;
  close(*d);
  delete d;
}

DevicePtr open(Open how) {
  DevicePtr d(new Device);
  if (how == Open::Default && open_output(*d)) return d;
  close(*d);
  *d = Device{};
  if (open_loopback(*d)) return d;
  return nullptr;
}

bool is_loopback(const Device& d) { return d.loopback; }

void render(Device& d, int32_t frames, std::vector<int16_t>* out) {
  if (!d.loopback || frames <= 0) return;
  use(d);
  // Mixed in pieces so that a long stretch does not need one large block.
  constexpr int32_t kPiece = 4096;
  int16_t scratch[kPiece * 2];
  while (frames > 0) {
    const int32_t n = std::min(frames, kPiece);
    d.render_samples(d.device, scratch, n);
    if (out) out->insert(out->end(), scratch, scratch + n * 2);
    frames -= n;
  }
}

void defer(Device& d) {
  use(d);
  if (d.defer_updates) d.defer_updates();
}

void commit(Device& d) {
  use(d);
  if (d.process_updates) d.process_updates();
}

Buffer buffer_create(Device& d, std::span<const uint8_t> samples, int32_t bits, int32_t rate) {
  if (samples.empty() || rate <= 0 || (bits != 8 && bits != 16)) return 0;
  use(d);
  alGetError();
  ALuint b = 0;
  alGenBuffers(1, &b);
  if (alGetError() != AL_NO_ERROR) return 0;
  const ALsizei bytes = static_cast<ALsizei>(bits == 16 ? samples.size() & ~size_t{1} : samples.size());
  alBufferData(b, bits == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16, samples.data(), bytes, rate);
  if (alGetError() != AL_NO_ERROR) {
    alDeleteBuffers(1, &b);
    return 0;
  }
  return b;
}

void buffer_release(Device& d, Buffer b) {
  if (!b) return;
  use(d);
  alDeleteBuffers(1, &b);
}

Source source_create(Device& d, Buffer b) {
  if (!b) return 0;
  use(d);
  alGetError();
  ALuint s = 0;
  alGenSources(1, &s);
  if (alGetError() != AL_NO_ERROR) return 0;
  alSourcei(s, AL_BUFFER, static_cast<ALint>(b));
  alSourcef(s, AL_ROLLOFF_FACTOR, 1.0f);
  if (alGetError() != AL_NO_ERROR) {
    alDeleteSources(1, &s);
    return 0;
  }
  return s;
}

void source_release(Device& d, Source s) {
  if (!s) return;
  use(d);
  alSourceStop(s);
  alSourcei(s, AL_BUFFER, 0);
  alDeleteSources(1, &s);
}

void source_play(Device& d, Source s, bool loop) {
  if (!s) return;
  use(d);
  alSourcei(s, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
  alSourcePlay(s);
}

void source_stop(Device& d, Source s) {
  if (!s) return;
  use(d);
  alSourceStop(s);
  alSourceRewind(s);
}

bool source_playing(Device& d, Source s) {
  if (!s) return false;
  use(d);
  ALint state = AL_STOPPED;
  alGetSourcei(s, AL_SOURCE_STATE, &state);
  return state == AL_PLAYING;
}

void source_position(Device& d, Source s, double x, double y, double z) {
  if (!s) return;
  use(d);
  alSource3f(s, AL_POSITION, f(x), f(y), f(-z));
}

void source_velocity(Device& d, Source s, double x, double y, double z) {
  if (!s) return;
  use(d);
  alSource3f(s, AL_VELOCITY, f(x), f(y), f(-z));
}

void source_gain(Device& d, Source s, double gain) {
  if (!s) return;
  use(d);
  alSourcef(s, AL_GAIN, f(std::clamp(gain, 0.0, 1.0)));
}

void source_pitch(Device& d, Source s, double pitch) {
  if (!s) return;
  use(d);
  alSourcef(s, AL_PITCH, f(std::max(pitch, 0.0001)));
}

void source_distances(Device& d, Source s, double reference, double maximum) {
  if (!s) return;
  use(d);
  alSourcef(s, AL_REFERENCE_DISTANCE, f(std::max(reference, 0.0)));
  alSourcef(s, AL_MAX_DISTANCE, f(std::max(maximum, 0.0)));
}

void source_head_relative(Device& d, Source s, bool relative) {
  if (!s) return;
  use(d);
  alSourcei(s, AL_SOURCE_RELATIVE, relative ? AL_TRUE : AL_FALSE);
  if (relative) alSource3f(s, AL_POSITION, 0.0f, 0.0f, 0.0f);
}

void listener_position(Device& d, double x, double y, double z) {
  use(d);
  alListener3f(AL_POSITION, f(x), f(y), f(-z));
}

void listener_orientation(Device& d, const double at[3], const double up[3]) {
  use(d);
  const ALfloat v[6] = {f(at[0]), f(at[1]), f(-at[2]), f(up[0]), f(up[1]), f(-up[2])};
  alListenerfv(AL_ORIENTATION, v);
}

void listener_gain(Device& d, double gain) {
  use(d);
  alListenerf(AL_GAIN, f(std::max(gain, 0.0)));
}

}  // namespace korva::audio

namespace korva::audio {

namespace {

void release_played(Source s) {
  ALint done = 0;
  alGetSourcei(s, AL_BUFFERS_PROCESSED, &done);
  while (done-- > 0) {
    ALuint b = 0;
    alSourceUnqueueBuffers(s, 1, &b);
    if (b) alDeleteBuffers(1, &b);
  }
}

}  // namespace

Source stream_create(Device& d) {
  use(d);
  alGetError();
  ALuint s = 0;
  alGenSources(1, &s);
  if (alGetError() != AL_NO_ERROR) return 0;
  alSourcei(s, AL_SOURCE_RELATIVE, AL_TRUE);
  alSource3f(s, AL_POSITION, 0.0f, 0.0f, 0.0f);
  alSourcef(s, AL_ROLLOFF_FACTOR, 0.0f);
  return s;
}

bool stream_queue(Device& d, Source s, std::span<const int16_t> stereo, int32_t rate) {
  if (!s || stereo.size() < 2 || rate <= 0) return false;
  use(d);
  release_played(s);
  alGetError();
  ALuint b = 0;
  alGenBuffers(1, &b);
  if (alGetError() != AL_NO_ERROR) return false;
  alBufferData(b, AL_FORMAT_STEREO16, stereo.data(), static_cast<ALsizei>((stereo.size() & ~size_t{1}) * 2), rate);
  alSourceQueueBuffers(s, 1, &b);
  if (alGetError() != AL_NO_ERROR) {
    alDeleteBuffers(1, &b);
    return false;
  }
  ALint state = 0;
  alGetSourcei(s, AL_SOURCE_STATE, &state);
  if (state != AL_PLAYING) alSourcePlay(s);
  return true;
}

int32_t stream_pending(Device& d, Source s) {
  if (!s) return 0;
  use(d);
  release_played(s);
  ALint queued = 0;
  alGetSourcei(s, AL_BUFFERS_QUEUED, &queued);
  return queued;
}

void stream_release(Device& d, Source s) {
  if (!s) return;
  use(d);
  alSourceStop(s);
  release_played(s);  // a stopped source counts every piece as played
  alSourcei(s, AL_BUFFER, 0);
  alDeleteSources(1, &s);
}

}  // namespace korva::audio
