#include "support/audio_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <string>

#include "platform/file_io.h"
#include "platform/paths.h"

#ifdef QBANK_HAVE_SNDFILE
#include <sndfile.h>
#endif

namespace qbank::testing {

void write_audio_with_sndfile(const std::filesystem::path& path, audio_container container,
                              audio_encoding encoding, int channels, int sample_rate,
                              std::span<const double> samples) {
#ifndef QBANK_HAVE_SNDFILE
  (void)path, (void)container, (void)encoding, (void)channels, (void)sample_rate, (void)samples;
  throw std::runtime_error("libsndfile is not built for this system");
#else
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = sample_rate;
  switch (container) {
    case audio_container::wav:
      info.format = SF_FORMAT_WAV;
      break;
    case audio_container::wav_extensible:
      info.format = SF_FORMAT_WAVEX;
      break;
    case audio_container::aiff:
      info.format = SF_FORMAT_AIFF;
      break;
    case audio_container::flac:
      info.format = SF_FORMAT_FLAC;
      break;
  }
  switch (encoding) {
    case audio_encoding::pcm_u8:
      info.format |= container == audio_container::flac || container == audio_container::aiff
                         ? SF_FORMAT_PCM_S8
                         : SF_FORMAT_PCM_U8;
      break;
    case audio_encoding::pcm_16:
      info.format |= SF_FORMAT_PCM_16;
      break;
    case audio_encoding::pcm_24:
      info.format |= SF_FORMAT_PCM_24;
      break;
    case audio_encoding::pcm_32:
      info.format |= SF_FORMAT_PCM_32;
      break;
    case audio_encoding::float_32:
      info.format |= SF_FORMAT_FLOAT;
      break;
    case audio_encoding::float_64:
      info.format |= SF_FORMAT_DOUBLE;
      break;
  }
  SNDFILE* f = sf_open(path_to_utf8(path).c_str(), SFM_WRITE, &info);
  if (!f) throw std::runtime_error("sf_open: " + std::string(sf_strerror(nullptr)));
  const auto frames = static_cast<sf_count_t>(samples.size() / channels);
  sf_count_t written = 0;
  if (encoding == audio_encoding::pcm_16) {
    // Full scale as 32768, so that tests can give exact 16-bit values as v / 32768.
    std::vector<short> shorts(samples.size());
    for (std::size_t k = 0; k < samples.size(); ++k)
      shorts[k] = static_cast<short>(std::clamp(std::lrint(samples[k] * 32768.0), -32768L, 32767L));
    written = sf_writef_short(f, shorts.data(), frames);
  } else {
    written = sf_writef_double(f, samples.data(), frames);
  }
  sf_close(f);
  if (written != frames) throw std::runtime_error("sf_writef_double wrote too little");
#endif
}

std::vector<double> sine_wave(int channels, int rate, double seconds, double frequency,
                              double amplitude, double frequency2, double amplitude2) {
  const auto frames = static_cast<std::size_t>(std::llround(seconds * rate));
  std::vector<double> out(frames * channels);
  for (std::size_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / rate;
    double v = amplitude * std::sin(2 * std::numbers::pi * frequency * t);
    if (frequency2 != 0) v += amplitude2 * std::sin(2 * std::numbers::pi * frequency2 * t);
    for (int c = 0; c < channels; ++c) out[f * channels + c] = v;
  }
  return out;
}

double tone_amplitude(std::span<const std::int16_t> samples, int channels, int channel,
                      std::size_t first, std::size_t count, double frequency) {
  const double w = 2 * std::numbers::pi * frequency / 48000.0;
  const double coeff = 2 * std::cos(w);
  double s1 = 0, s2 = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const double x = samples[(first + k) * channels + channel] / 32768.0;
    const double s0 = x + coeff * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
  return 2 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(count);
}

std::vector<std::int16_t> canonical_samples(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> file = read_whole_file(path);
  if (file.size() < 44) return {};
  std::vector<std::int16_t> out((file.size() - 44) / 2);
  for (std::size_t k = 0; k < out.size(); ++k)
    out[k] = static_cast<std::int16_t>(file[44 + 2 * k] | file[45 + 2 * k] << 8);
  return out;
}

}  // namespace qbank::testing
