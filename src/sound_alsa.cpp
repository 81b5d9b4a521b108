// The program's own sound output on Linux: the library's mixer, fed by a thread of ours that
// ALSA's default device paces, so that PulseAudio, PipeWire and a bare card all serve it.
//
// The library's own ALSA output is fed from its background thread, one period per 10 ms tick,
// a period mixed ahead of what it writes: its periods must be longer than a tick, and about
// 35 ms of sound wait in front of any change. Here each period is mixed just before it is
// written, as soon as the device has room for it, so periods can be a few milliseconds long.
// The voices are the library's mixer's, exactly as in the library's own drivers, so the sound
// is the same sound.
#include <alsa/asoundlib.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include <allegro.h>
#include <allegro/internal/aintern.h>
#include <allegro/platform/aintunix.h>

#include "platform.h"

namespace {

constexpr int kRate = 44100;
constexpr unsigned kChannels = 2;
// 256 frames are 5.8 ms. Four of them queued keep the sound going while three end-to-end cases
// share two busy cores, through PulseAudio and through PipeWire; a right click or DEL waits
// behind them. Four of 128 answered 10 ms sooner through PulseAudio, but there the sound dropped
// out for a moment. A device that wants other periods (a bare card's mixing plugin has its own)
// gets its own.
constexpr snd_pcm_uframes_t kPeriodFrames = 256;
constexpr unsigned kPeriods = 4;
// How long the feeder waits for room before it looks again whether it is to stop.
constexpr int kWaitMs = 100;
const char* const kDevice = "default";

snd_pcm_t* pcm = nullptr;
snd_pcm_uframes_t period_frames = kPeriodFrames;  // what the device took
unsigned periods = kPeriods;
std::vector<int16_t> period;
pthread_t feeder;
std::atomic<bool> feeding{false};
char description[128];

enum class Written { kAtOnce, kAfterWaiting, kDeviceGone };

// Writes one period, waiting for room when the device has none.
Written WritePeriod() {
  const int16_t* from = period.data();
  snd_pcm_uframes_t left = period_frames;
  Written how = Written::kAtOnce;
  while (left > 0 && feeding) {
    const snd_pcm_sframes_t n = snd_pcm_writei(pcm, from, left);
    if (n == -EAGAIN) {
      snd_pcm_wait(pcm, kWaitMs);
      how = Written::kAfterWaiting;
      continue;
    }
    if (n < 0) {
      // An underrun (the sound ran dry) or a suspend: start again where the sound is now.
      if (snd_pcm_recover(pcm, static_cast<int>(n), 1) < 0) return Written::kDeviceGone;
      continue;
    }
    from += n * kChannels;
    left -= n;
  }
  return how;
}

void* Feed(void*) {
  const auto period_time = std::chrono::nanoseconds(period_frames * 1000000000ull / kRate);
  unsigned at_once = 0;  // periods taken in a row without a wait
  auto due = std::chrono::steady_clock::now();
  while (feeding) {
    _mix_some_samples(reinterpret_cast<uintptr_t>(period.data()), 0, TRUE);
    const Written how = WritePeriod();
    at_once = how == Written::kAtOnce ? at_once + 1 : 0;
    // A device that went away (its sound server ended) leaves the path playing silently, in
    // time. So does one that takes more than its buffer without ever making us wait (ALSA's
    // null and file plugins), which would otherwise have the whole path mixed in an instant.
    if (how != Written::kDeviceGone && at_once <= periods + 2) {
      due = std::chrono::steady_clock::now();
      continue;
    }
    due += period_time;
    std::this_thread::sleep_until(due);
  }
  return nullptr;
}

// Opens the device for 16-bit stereo, in periods of our size where it takes them; false, with
// the reason in the library's error text, when it cannot.
bool OpenDevice() {
  if (snd_pcm_open(&pcm, kDevice, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
    pcm = nullptr;
    ustrzcpy(allegro_error, ALLEGRO_ERROR_SIZE, "Can not open the ALSA device");
    return false;
  }
  snd_pcm_hw_params_t* hw;
  snd_pcm_hw_params_alloca(&hw);
  periods = kPeriods;
  period_frames = kPeriodFrames;
  if (snd_pcm_hw_params_any(pcm, hw) < 0 ||
      snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
      snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16) < 0 ||
      snd_pcm_hw_params_set_channels(pcm, hw, kChannels) < 0 ||
      snd_pcm_hw_params_set_rate(pcm, hw, kRate, 0) < 0 ||
      snd_pcm_hw_params_set_period_size_near(pcm, hw, &period_frames, nullptr) < 0 ||
      snd_pcm_hw_params_set_periods_near(pcm, hw, &periods, nullptr) < 0 ||
      snd_pcm_hw_params(pcm, hw) < 0 ||
      snd_pcm_hw_params_get_period_size(hw, &period_frames, nullptr) < 0) {
    snd_pcm_close(pcm);
    pcm = nullptr;
    ustrzcpy(allegro_error, ALLEGRO_ERROR_SIZE,
             "The ALSA device takes no 16-bit stereo at 44.1 kHz");
    return false;
  }
  return true;
}

int Detect(int input) {
  if (input || !OpenDevice()) return FALSE;
  snd_pcm_close(pcm);
  pcm = nullptr;
  return TRUE;
}

DIGI_DRIVER driver;

int Init(int input, int voices) {
  if (input || !OpenDevice()) return -1;
  period.assign(period_frames * kChannels, 0);
  driver.voices = voices;
  if (_mixer_init(static_cast<int>(period_frames * kChannels), kRate, TRUE, TRUE, &driver.voices) !=
      0) {
    snd_pcm_close(pcm);
    pcm = nullptr;
    return -1;
  }
  // The feeder takes no signals: they are the main thread's to handle.
  sigset_t all, before;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &before);
  feeding = true;
  const bool started = pthread_create(&feeder, nullptr, Feed, nullptr) == 0;
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (!started) {
    feeding = false;
    _mixer_exit();
    snd_pcm_close(pcm);
    pcm = nullptr;
    return -1;
  }
  uszprintf(description, sizeof description, "ALSA device '%s', %d frames x %d, 16-bit stereo",
            kDevice, static_cast<int>(period_frames), periods);
  driver.desc = description;
  return 0;
}

void Exit(int input) {
  if (input || pcm == nullptr) return;
  feeding = false;
  pthread_join(feeder, nullptr);
  snd_pcm_drop(pcm);
  snd_pcm_close(pcm);
  pcm = nullptr;
  _mixer_exit();
}

int BufferSize() {
  return static_cast<int>(period_frames);
}

}  // namespace

void RegisterOwnSoundOutput() {
  driver = DIGI_DRIVER{};
  driver.id = AL_ID('S', 'P', 'A', 'L');
  driver.name = driver.desc = driver.ascii_name = "ALSA, low latency";
  driver.max_voices = MIXER_MAX_SFX;
  driver.def_voices = MIXER_DEF_SFX;
  driver.detect = Detect;
  driver.init = Init;
  driver.exit = Exit;
  driver.buffer_size = BufferSize;
  driver.init_voice = _mixer_init_voice;
  driver.release_voice = _mixer_release_voice;
  driver.start_voice = _mixer_start_voice;
  driver.stop_voice = _mixer_stop_voice;
  driver.loop_voice = _mixer_loop_voice;
  driver.get_position = _mixer_get_position;
  driver.set_position = _mixer_set_position;
  driver.get_volume = _mixer_get_volume;
  driver.set_volume = _mixer_set_volume;
  driver.ramp_volume = _mixer_ramp_volume;
  driver.stop_volume_ramp = _mixer_stop_volume_ramp;
  driver.get_frequency = _mixer_get_frequency;
  driver.set_frequency = _mixer_set_frequency;
  driver.sweep_frequency = _mixer_sweep_frequency;
  driver.stop_frequency_sweep = _mixer_stop_frequency_sweep;
  driver.get_pan = _mixer_get_pan;
  driver.set_pan = _mixer_set_pan;
  driver.sweep_pan = _mixer_sweep_pan;
  driver.stop_pan_sweep = _mixer_stop_pan_sweep;
  driver.set_echo = _mixer_set_echo;
  driver.set_tremolo = _mixer_set_tremolo;
  driver.set_vibrato = _mixer_set_vibrato;
  // First among the drivers that autodetection tries; the library's own follow.
  _unix_register_digi_driver(driver.id, &driver, TRUE, TRUE);
}
