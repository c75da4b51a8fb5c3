#include "demo/demo_library.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "audio/wav_file.h"
#include "bank/bank.h"
#include "bank/script_file.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "util/text_format.h"

namespace qbank {
namespace {

// Everything below is integer or fixed-point arithmetic: floating point and the maths library
// may round differently on another machine, and the demo must be the same bytes everywhere.

constexpr int sample_rate = 48000;
constexpr std::int64_t one_q30 = std::int64_t{1} << 30;

// ---- Oscillators -------------------------------------------------------------------------

constexpr int sine_bits = 12;
constexpr int sine_size = 1 << sine_bits;

// One period of sin in Q15, plus a guard entry for interpolation. sin(pi/2 x) on the first
// quarter by its Taylor series to x^11 in Q30 (error below 1e-6), mirrored into the others.
constexpr std::array<std::int32_t, sine_size + 1> make_sine_table() {
  constexpr std::int64_t c[] = {1686629713, -693598668, 85569306, -5026995, 172272, -3864};
  std::array<std::int32_t, sine_size + 1> t{};
  constexpr int quarter = sine_size / 4;
  for (int i = 0; i <= quarter; ++i) {
    const std::int64_t x = (std::int64_t{i} << 30) / quarter;
    const std::int64_t x2 = (x * x) >> 30;
    std::int64_t p = c[5];
    for (int k = 4; k >= 0; --k) p = c[k] + ((p * x2) >> 30);
    const std::int64_t s = (p * x) >> 30;  // Q30
    const auto q15 =
        static_cast<std::int32_t>(std::min<std::int64_t>((s + (1 << 14)) >> 15, 32767));
    t[i] = q15;
    t[2 * quarter - i] = q15;
    t[2 * quarter + i] = -q15;
    t[(4 * quarter - i) % sine_size] = -q15;
  }
  t[sine_size] = t[0];
  return t;
}

constexpr std::array<std::int32_t, sine_size + 1> sine_table = make_sine_table();
static_assert(sine_table[0] == 0 && sine_table[sine_size / 4] == 32767 &&
              sine_table[3 * sine_size / 4] == -32767);

// sin(2 pi phase / 2^32) in Q15, linearly interpolated.
std::int32_t sine(std::uint32_t phase) {
  const std::uint32_t i = phase >> (32 - sine_bits);
  const std::int32_t frac = static_cast<std::int32_t>((phase >> (16 - sine_bits)) & 0xFFFF);
  const std::int32_t a = sine_table[i];
  const std::int32_t b = sine_table[i + 1];
  return a + static_cast<std::int32_t>((std::int64_t{b - a} * frac) >> 16);
}

// Phase increment (2^32 = one period per sample) of MIDI note `note`, detuned by `detune_q30`
// (a frequency ratio in Q30; one_q30 = in tune). Equal temperament, A4 = note 69 = 440 Hz.
std::uint32_t note_increment(int note, std::int64_t detune_q30 = one_q30) {
  // 2^(k/12) in Q24 for k = 0..11.
  constexpr std::int64_t semitone_q24[12] = {16777216, 17774841, 18831788, 19951585,
                                             21137968, 22394897, 23726566, 25137421,
                                             26632170, 28215802, 29893600, 31671166};
  // Note 0 (8.1758 Hz) as a phase increment in Q16; times a Q24 ratio stays below 2^61.
  constexpr std::int64_t note0_q16 = 47943391862;
  std::int64_t inc_q16 = (note0_q16 * semitone_q24[note % 12]) >> 24;
  inc_q16 <<= note / 12;
  // Below 2^32 now, so the Q30 detune ratio cannot overflow 64 bits.
  const std::int64_t inc = inc_q16 >> 16;
  return static_cast<std::uint32_t>((inc * detune_q30) >> 30);
}

// The factor by which a level shrinks each sample so that it falls to about 1/e in `frames`.
std::int64_t decay_factor(std::int64_t frames) {
  return frames <= 0 ? 0 : one_q30 - one_q30 / frames;
}

// (level * factor) >> 30 without overflow for any level (a drum's phase increment in Q16 is
// near 2^40, and its product with a Q30 factor would pass 64 bits): the level's whole Q30 units
// and its fraction are multiplied apart. Exact, rounding toward minus infinity like the shift.
std::int64_t decay(std::int64_t level, std::int64_t factor) {
  const std::int64_t whole = level >> 30;
  const std::int64_t fraction = level & (one_q30 - 1);
  return whole * factor + ((fraction * factor) >> 30);
}

// A fixed-seed generator (xorshift32): the drums' noise is the same on every run.
class noise {
 public:
  explicit noise(std::uint32_t seed) : state_(seed) {}
  // A value in -32768..32767.
  std::int32_t next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<std::int32_t>(state_ >> 16) - 32768;
  }

 private:
  std::uint32_t state_;
};

int frames_of_ms(int ms) {
  return sample_rate / 1000 * ms;
}

// ---- Sounds ------------------------------------------------------------------------------

// Unscaled audio: one vector of samples per channel.
using render = std::vector<std::vector<std::int32_t>>;

enum class timbre { saw, square, soft };

// A tone made of harmonics of one note, one or more slightly detuned voices per channel.
struct tone {
  int note = 60;
  int frames = sample_rate;
  timbre kind = timbre::saw;
  int max_harmonics = 24;
  int attack = frames_of_ms(5);    // linear rise
  int release = frames_of_ms(30);  // linear fall at the very end
  int decay = 0;                   // frames to fall to 1/e; 0 = held
  int brightness = 0;  // frames for the second harmonic to fall to 1/e; higher ones fall faster
  std::vector<std::vector<std::int64_t>> detune;  // per channel, one Q30 ratio per voice
};

std::int64_t harmonic_amplitude(timbre kind, int k) {
  switch (kind) {
    case timbre::saw:
      return 32768 / k;
    case timbre::square:
      return k % 2 == 1 ? 32768 / k : 0;
    case timbre::soft:
      return 32768 / (k * k);
  }
  return 0;
}

render render_tone(const tone& t) {
  render out;
  for (const auto& voices : t.detune) {
    std::vector<std::int32_t> samples(static_cast<std::size_t>(t.frames));
    for (std::int64_t ratio : voices) {
      const std::uint32_t inc = note_increment(t.note, ratio);
      // Harmonics up to about 18 kHz, so that none folds back below half the sample rate.
      const int limit = static_cast<int>(std::min<std::int64_t>(
          t.max_harmonics,
          (std::int64_t{18000} << 32) / sample_rate / std::max<std::uint32_t>(inc, 1)));
      std::vector<std::uint32_t> phase(static_cast<std::size_t>(limit), 0);
      std::vector<std::int64_t> level(static_cast<std::size_t>(limit));
      std::vector<std::int64_t> factor(static_cast<std::size_t>(limit));
      for (int k = 1; k <= limit; ++k) {
        level[k - 1] = harmonic_amplitude(t.kind, k) << 15;  // Q30 of a Q15 amplitude
        factor[k - 1] = t.brightness > 0 && k > 1 ? decay_factor(t.brightness * 2 / k) : one_q30;
      }
      const std::int64_t overall = decay_factor(t.decay);
      std::int64_t env = one_q30;
      for (int i = 0; i < t.frames; ++i) {
        std::int64_t sum = 0;
        for (int k = 0; k < limit; ++k) {
          sum += (std::int64_t{sine(phase[k])} * (level[k] >> 15)) >> 15;
          phase[k] += inc * static_cast<std::uint32_t>(k + 1);
          level[k] = decay(level[k], factor[k]);
        }
        std::int64_t gain = env;
        if (i < t.attack) gain = gain * i / t.attack;
        if (t.frames - i < t.release) gain = gain * (t.frames - i) / t.release;
        samples[i] += static_cast<std::int32_t>((sum * gain) >> 30);
        if (t.decay > 0) env = decay(env, overall);
      }
    }
    out.push_back(std::move(samples));
  }
  return out;
}

// A drum: a sine whose pitch falls from `from` to `to`, plus filtered noise, each with its own
// decay; the clap repeats its noise burst a few times before the tail.
struct drum {
  int frames = sample_rate / 2;
  int tone_from_hz = 0;  // 0: no tone
  int tone_to_hz = 0;
  int sweep = 1;                // frames for the pitch to cover 1/e of its fall
  int tone_decay = 1;           // frames
  std::int64_t tone_level = 0;  // Q15
  int noise_decay = 1;
  std::int64_t noise_level = 0;  // Q15
  int highpass = 0;              // times the noise is differentiated (brighter)
  int lowpass_shift = 0;         // one-pole low-pass with coefficient 2^-shift; 0 = none
  int bursts = 0;                // extra noise bursts before the tail (clap)
  int burst_gap = 1;             // frames between bursts
  std::uint32_t seed = 1;
};

render render_drum(const drum& d) {
  std::vector<std::int32_t> samples(static_cast<std::size_t>(d.frames));
  // Increments in Q16 of the phase increment, so that the sweep keeps its fine resolution.
  const std::int64_t hz_to_inc_q16 = (std::int64_t{1} << 48) / sample_rate;
  std::int64_t inc = hz_to_inc_q16 * d.tone_from_hz;
  const std::int64_t inc_end = hz_to_inc_q16 * d.tone_to_hz;
  const std::int64_t sweep = decay_factor(d.sweep);
  const std::int64_t tone_factor = decay_factor(d.tone_decay);
  const std::int64_t noise_factor = decay_factor(d.noise_decay);
  std::int64_t tone_env = d.tone_level << 15;
  std::int64_t noise_env = d.noise_level << 15;
  std::uint32_t phase = 0;
  noise gen(d.seed);
  std::int32_t previous[3] = {0, 0, 0};
  std::int64_t low = 0;
  const int tail_start = d.bursts * d.burst_gap;
  const std::int64_t burst_factor = decay_factor(d.burst_gap / 4);
  std::int64_t burst_env = 0;
  for (int i = 0; i < d.frames; ++i) {
    std::int64_t value = 0;
    if (d.tone_from_hz > 0) {
      value += (std::int64_t{sine(phase)} * (tone_env >> 15)) >> 15;
      phase += static_cast<std::uint32_t>(inc >> 16);
      inc = inc_end + decay(inc - inc_end, sweep);
      tone_env = decay(tone_env, tone_factor);
    }
    if (d.noise_level > 0) {
      std::int32_t n = gen.next();
      for (int h = 0; h < d.highpass; ++h) {
        const std::int32_t diff = (n - previous[h]) / 2;
        previous[h] = n;
        n = diff;
      }
      if (d.lowpass_shift > 0) {
        low += (n - low) >> d.lowpass_shift;
        n = static_cast<std::int32_t>(low);
      }
      std::int64_t env = noise_env;
      if (i < tail_start) {
        // Each burst starts at full level and has mostly died away before the next one.
        if (i % d.burst_gap == 0) burst_env = d.noise_level << 15;
        env = burst_env;
        burst_env = decay(burst_env, burst_factor);
      } else {
        noise_env = decay(noise_env, noise_factor);
      }
      value += (std::int64_t{n} * (env >> 15)) >> 15;
    }
    // A short fade at the end, so the cut is not heard as a click.
    const int fade = frames_of_ms(5);
    if (d.frames - i < fade) value = value * (d.frames - i) / fade;
    samples[i] = static_cast<std::int32_t>(value);
  }
  return {std::move(samples)};
}

// ---- WAV files ---------------------------------------------------------------------------

// The canonical 44-byte file the system writes, then the interleaved 16-bit samples, scaled so
// that the peak is `peak`.
std::vector<std::uint8_t> wav_bytes(const render& audio, std::int32_t peak = 26000) {
  const auto channels = static_cast<int>(audio.size());
  const std::size_t frames = audio.front().size();
  const auto data_bytes = static_cast<std::uint32_t>(frames * channels * 2);
  const auto header = wav_canonical_header(channels, data_bytes);
  std::vector<std::uint8_t> out(header.begin(), header.end());
  out.reserve(header.size() + data_bytes);

  std::int64_t max = 1;
  for (const auto& channel : audio)
    for (std::int32_t s : channel) max = std::max<std::int64_t>(max, s < 0 ? -std::int64_t{s} : s);
  const std::int64_t scale = (std::int64_t{peak} << 16) / max;
  for (std::size_t i = 0; i < frames; ++i) {
    for (const auto& channel : audio) {
      const std::int64_t v = std::clamp<std::int64_t>((channel[i] * scale) >> 16, -32768, 32767);
      out.push_back(static_cast<std::uint8_t>(v & 0xFF));
      out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
  }
  return out;
}

// ---- The library -------------------------------------------------------------------------

struct sample_file {
  std::string name;  // file name in the folder
  int multisample;
  int slot;  // MIDI note
  render audio;
};

constexpr int lead_ms = 1;
constexpr int pad_ms = 2;
constexpr int bass_ms = 3;
constexpr int drums_ms = 4;

// Detune ratios in Q30 (cents: 0, +-3, +-5, +-7, +12).
constexpr std::int64_t in_tune = one_q30;
constexpr std::int64_t cents_up_3 = 1075604090;
constexpr std::int64_t cents_up_7 = 1078092136;
constexpr std::int64_t cents_down_5 = 1070645210;
constexpr std::int64_t cents_down_7 = 1069409066;
constexpr std::int64_t cents_up_12 = 1081210289;

std::vector<sample_file> demo_samples() {
  std::vector<sample_file> files;
  for (int note = 48; note <= 84; note += 3) {
    tone t;
    t.note = note;
    t.frames = sample_rate * 3 / 2;
    t.kind = timbre::saw;
    t.decay = sample_rate * 9 / 10;
    t.brightness = sample_rate / 3;
    t.detune = {{in_tune}};
    files.push_back({format("Lead %03d.wav", note), lead_ms, note, render_tone(t)});
  }
  for (int note : {48, 55, 60, 67, 72}) {
    tone t;
    t.note = note;
    t.frames = sample_rate * 2;
    t.kind = timbre::soft;
    t.max_harmonics = 10;
    t.attack = frames_of_ms(700);
    t.release = frames_of_ms(400);
    t.detune = {{cents_down_7, in_tune, cents_up_3}, {cents_down_5, in_tune, cents_up_7}};
    files.push_back({format("Pad %03d.wav", note), pad_ms, note, render_tone(t)});
  }
  for (int note = 28; note <= 52; note += 6) {
    tone t;
    t.note = note;
    t.frames = sample_rate * 6 / 5;
    t.kind = timbre::square;
    t.max_harmonics = 15;
    t.attack = frames_of_ms(3);
    t.decay = sample_rate / 2;
    t.brightness = sample_rate / 8;
    t.detune = {{in_tune, cents_up_12}};
    files.push_back({format("Bass %03d.wav", note), bass_ms, note, render_tone(t)});
  }

  const drum kick{.frames = frames_of_ms(700),
                  .tone_from_hz = 160,
                  .tone_to_hz = 45,
                  .sweep = frames_of_ms(40),
                  .tone_decay = frames_of_ms(250),
                  .tone_level = 32767,
                  .noise_decay = frames_of_ms(2),
                  .noise_level = 12000,
                  .seed = 0x4B49434Bu};
  const drum snare{.frames = frames_of_ms(450),
                   .tone_from_hz = 240,
                   .tone_to_hz = 180,
                   .sweep = frames_of_ms(20),
                   .tone_decay = frames_of_ms(60),
                   .tone_level = 20000,
                   .noise_decay = frames_of_ms(120),
                   .noise_level = 24000,
                   .highpass = 1,
                   .seed = 0x534E4152u};
  const drum clap{.frames = frames_of_ms(500),
                  .noise_decay = frames_of_ms(90),
                  .noise_level = 30000,
                  .highpass = 1,
                  .lowpass_shift = 1,
                  .bursts = 3,
                  .burst_gap = frames_of_ms(11),
                  .seed = 0x434C4150u};
  const drum closed_hat{.frames = frames_of_ms(200),
                        .noise_decay = frames_of_ms(30),
                        .noise_level = 32767,
                        .highpass = 2,
                        .seed = 0x48415443u};
  const drum tom{.frames = frames_of_ms(800),
                 .tone_from_hz = 130,
                 .tone_to_hz = 95,
                 .sweep = frames_of_ms(100),
                 .tone_decay = frames_of_ms(300),
                 .tone_level = 32767,
                 .noise_decay = frames_of_ms(15),
                 .noise_level = 6000,
                 .lowpass_shift = 3,
                 .seed = 0x544F4D31u};
  const drum open_hat{.frames = frames_of_ms(800),
                      .noise_decay = frames_of_ms(250),
                      .noise_level = 32767,
                      .highpass = 2,
                      .seed = 0x4F484154u};
  // General MIDI drum notes, also written in the file names.
  const struct {
    const char* name;
    int note;
    const drum& sound;
  } kit[] = {{"Drums 036 Kick.wav", 36, kick}, {"Drums 038 Snare.wav", 38, snare},
             {"Drums 039 Clap.wav", 39, clap}, {"Drums 042 Closed Hat.wav", 42, closed_hat},
             {"Drums 045 Tom.wav", 45, tom},   {"Drums 046 Open Hat.wav", 46, open_hat}};
  for (const auto& d : kit) files.push_back({d.name, drums_ms, d.note, render_drum(d.sound)});
  return files;
}

// A name as the editor stores a typed one: cut to 16 bytes, zero padded.
void set_name(char (&field)[name_size], std::string_view text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min(text.size(), sizeof field));
}

// A comment as the editor stores a typed one: the text and its terminating zero at the start.
void set_comment(struct multisample& m, std::string_view text) {
  const std::size_t n = std::min<std::size_t>(text.size(), comment_size - 1);
  std::memcpy(m.comment, text.data(), n);
  m.comment[n] = '\0';
  m.comment[comment_size - 1] = '\0';
}

struct zone_setup {
  int multisample;
  int velo_low = 0, velo_high = 127;
  int key_low = 0, key_high = 127;
  int volume = 127;
  int transpose = 0;  // semitones
};

void set_program(bank& b, int index, std::string_view name, std::uint8_t osc_mode,
                 std::uint16_t attack, std::uint16_t release,
                 std::initializer_list<zone_setup> zones) {
  blend& p = b.program(index);
  set_name(p.name, name);
  p.osc_mode = osc_mode;
  p.attack = attack;
  p.release = release;
  int i = 0;
  for (const zone_setup& z : zones) {
    zone& target = p.zones[i++];
    target.multisample = static_cast<std::uint16_t>(z.multisample);
    target.volume = static_cast<std::uint8_t>(z.volume);
    target.velo_low = static_cast<std::uint8_t>(z.velo_low);
    target.velo_high = static_cast<std::uint8_t>(z.velo_high);
    target.key_low = static_cast<std::uint8_t>(z.key_low);
    target.key_high = static_cast<std::uint8_t>(z.key_high);
    target.transpose = static_cast<std::uint8_t>(64 + z.transpose);
  }
}

void describe_bank(bank& b) {
  set_name(b.multisample(lead_ms).name, "Demo Lead");
  set_comment(b.multisample(lead_ms),
              "Bright sawtooth lead, one sample every 3 semitones on notes 48 to 84; the tone "
              "darkens as it decays.");
  set_name(b.multisample(pad_ms).name, "Demo Pad");
  set_comment(
      b.multisample(pad_ms),
      "Stereo pad of three detuned voices per side, slow attack, on notes 48, 55, 60, 67 and 72.");
  set_name(b.multisample(bass_ms).name, "Demo Bass");
  set_comment(b.multisample(bass_ms),
              "Plucked square bass, one sample every 6 semitones on notes 28 to 52.");
  set_name(b.multisample(drums_ms).name, "Demo Drums");
  set_comment(b.multisample(drums_ms),
              "Kick 36, snare 38, clap 39, closed hat 42, tom 45, open hat 46.");

  // Modes: 0 "Normal POLY", 1 "Bass MODE 1", 2 "Mono RETRIGER". Attack and release in ms.
  set_program(b, 0, "Lead Mono", 2, 2, 250, {{lead_ms}});
  set_program(b, 1, "Warm Pad", 0, 600, 1200, {{pad_ms, 0, 127, 0, 127, 110}});
  set_program(b, 2, "Deep Bass", 1, 1, 120, {{bass_ms}});
  set_program(b, 3, "Drum Kit", 0, 0, 300, {{drums_ms, 0, 127, 36, 46}});
  // Soft playing sounds the pad alone; harder playing adds the lead on top.
  set_program(b, 4, "Lead+Pad Layer", 0, 5, 600,
              {{pad_ms, 0, 127, 0, 127, 100}, {lead_ms, 64, 127, 36, 96, 100}});
  // Bass below C4, lead from C4 upwards.
  set_program(b, 5, "Bass/Lead Split", 0, 1, 200,
              {{bass_ms, 0, 127, 0, 59}, {lead_ms, 0, 127, 60, 127, 110}});
  // The pad an octave down under the drums' keys, so a single hand plays both.
  set_program(b, 6, "Pad+Drums", 0, 20, 800,
              {{drums_ms, 0, 127, 36, 46}, {pad_ms, 0, 127, 47, 127, 100, -12}});
}

}  // namespace

demo_library write_demo_library(const std::filesystem::path& dir, host& h) {
  const std::filesystem::path folder = std::filesystem::absolute(dir).lexically_normal();
  std::vector<sample_file> samples = demo_samples();

  // Every stored path is made before anything is written, so a folder whose name the code page
  // cannot hold leaves nothing behind.
  bank b;
  describe_bank(b);
  for (const sample_file& s : samples)
    b.set_file(s.multisample, s.slot, stored_path(folder / s.name));

  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw file_error(folder, error.message());
  demo_library result;
  for (const sample_file& s : samples) {
    const std::vector<std::uint8_t> bytes = wav_bytes(s.audio);
    atomic_output_file out(folder / s.name);
    out.write(bytes.data(), bytes.size());
    out.commit();
    ++result.wav_files;
    result.wav_bytes += bytes.size();
  }
  result.script = folder / "Demo.qbs";
  save_script(b, result.script, h);
  return result;
}

}  // namespace qbank
