#include "audio/conform_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

#include "audio/wav_file.h"
#include "platform/shared_library.h"
#include "ui/host.h"
#include "util/text_format.h"

#if QBANK_HAVE_CONFORM
#include <sndfile.h>
#include <soxr.h>
#endif

namespace qbank {

std::uint64_t conformed_frames(const audio_source_info& info) {
  if (info.sample_rate <= 0) return 0;
  if (info.sample_rate == conform_rate) return info.frames;
  const auto rate = static_cast<std::uint64_t>(info.sample_rate);
  return (info.frames * conform_rate + rate / 2) / rate;
}

std::uint64_t rendered_frames(std::uint64_t frames, double rate) {
  if (rate <= 0) return 0;
  return static_cast<std::uint64_t>(
      std::llround(static_cast<double>(frames) * conform_rate / rate));
}

#if QBANK_HAVE_CONFORM

namespace {

// libsndfile and libsoxr, loaded on first use rather than linked: linked, they and the codec
// libraries they need (FLAC, Vorbis, Opus, MPEG, LAME, OpenMP) are mapped at every start of
// qbank and the window, which doubled the start-up of commands that never decode.
struct codec_libraries {
  decltype(&::sf_open_virtual) sf_open_virtual = nullptr;
  decltype(&::sf_close) sf_close = nullptr;
  decltype(&::sf_strerror) sf_strerror = nullptr;
  decltype(&::sf_readf_short) sf_readf_short = nullptr;
  decltype(&::sf_readf_float) sf_readf_float = nullptr;
  decltype(&::soxr_io_spec) soxr_io_spec = nullptr;
  decltype(&::soxr_quality_spec) soxr_quality_spec = nullptr;
  decltype(&::soxr_create) soxr_create = nullptr;
  decltype(&::soxr_process) soxr_process = nullptr;
  decltype(&::soxr_delete) soxr_delete = nullptr;
  // Only for the window's About box: a library without them still decodes.
  decltype(&::sf_version_string) sf_version_string = nullptr;
  decltype(&::soxr_version) soxr_version = nullptr;
  bool complete = false;
};

template <class Function>
bool bind(const shared_library& library, Function& to, const char* name) {
  to = reinterpret_cast<Function>(library.symbol(name));
  return to != nullptr;
}

// The first of `names` the system's loader finds: the library's name on Linux, then the names
// its Windows builds carry (found beside the program first).
shared_library first_loaded(std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (shared_library l(name); l.loaded()) return l;
  return shared_library(*names.begin());
}

const codec_libraries& codecs() {
  static const codec_libraries c = [] {
    static const shared_library sndfile =
        first_loaded({"libsndfile.so.1", "libsndfile-1.dll", "sndfile.dll"});
    static const shared_library soxr = first_loaded({"libsoxr.so.0", "libsoxr.dll", "soxr.dll"});
    codec_libraries l;
    l.complete =
        bind(sndfile, l.sf_open_virtual, "sf_open_virtual") &&
        bind(sndfile, l.sf_close, "sf_close") && bind(sndfile, l.sf_strerror, "sf_strerror") &&
        bind(sndfile, l.sf_readf_short, "sf_readf_short") &&
        bind(sndfile, l.sf_readf_float, "sf_readf_float") &&
        bind(soxr, l.soxr_io_spec, "soxr_io_spec") &&
        bind(soxr, l.soxr_quality_spec, "soxr_quality_spec") &&
        bind(soxr, l.soxr_create, "soxr_create") && bind(soxr, l.soxr_process, "soxr_process") &&
        bind(soxr, l.soxr_delete, "soxr_delete");
    bind(sndfile, l.sf_version_string, "sf_version_string");
    bind(soxr, l.soxr_version, "soxr_version");
    return l;
  }();
  return c;
}

// The decoder reads through the file layer, so paths, errors and fault injection are the same
// as everywhere else.
sf_count_t vio_length(void* user) {
  return static_cast<sf_count_t>(static_cast<byte_source*>(user)->size());
}

sf_count_t vio_seek(sf_count_t offset, int whence, void* user) {
  auto* s = static_cast<byte_source*>(user);
  sf_count_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<sf_count_t>(s->position());
  if (whence == SEEK_END) base = static_cast<sf_count_t>(s->size());
  if (base + offset < 0) return -1;
  s->seek(static_cast<std::uint64_t>(base + offset));
  return static_cast<sf_count_t>(s->position());
}

sf_count_t vio_read(void* buffer, sf_count_t count, void* user) {
  if (count <= 0) return 0;
  return static_cast<sf_count_t>(
      static_cast<byte_source*>(user)->read(buffer, static_cast<std::size_t>(count)));
}

sf_count_t vio_write(const void*, sf_count_t, void*) {
  return 0;
}

sf_count_t vio_tell(void* user) {
  return static_cast<sf_count_t>(static_cast<byte_source*>(user)->position());
}

SF_VIRTUAL_IO virtual_io = {vio_length, vio_seek, vio_read, vio_write, vio_tell};

// A decoder open on a byte source; closed when it goes.
class decoder {
 public:
  explicit decoder(byte_source& in) {
    in.seek(0);
    file_ = codecs().sf_open_virtual(&virtual_io, SFM_READ, &info_, &in);
  }
  ~decoder() {
    if (file_) codecs().sf_close(file_);
  }
  decoder(const decoder&) = delete;
  decoder& operator=(const decoder&) = delete;

  SNDFILE* get() const { return file_; }
  const SF_INFO& info() const { return info_; }
  std::string error() const { return codecs().sf_strerror(file_); }

 private:
  SF_INFO info_{};
  SNDFILE* file_ = nullptr;
};

const char* container_name(int format) {
  switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
      return "WAV";
    case SF_FORMAT_WAVEX:
      return "WAV (extensible)";
    case SF_FORMAT_RF64:
      return "RF64";
    case SF_FORMAT_W64:
      return "Wave64";
    case SF_FORMAT_AIFF:
      return "AIFF";
    case SF_FORMAT_FLAC:
      return "FLAC";
    case SF_FORMAT_CAF:
      return "CAF";
    case SF_FORMAT_OGG:
      return "Ogg";
    case SF_FORMAT_AU:
      return "AU";
    case SF_FORMAT_MPEG:
      return "MPEG";
    default:
      return "audio file";
  }
}

std::string encoding_name(int code) {
  switch (code & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
      return "8-bit";
    case SF_FORMAT_PCM_16:
      return "16-bit";
    case SF_FORMAT_PCM_24:
      return "24-bit";
    case SF_FORMAT_PCM_32:
      return "32-bit";
    case SF_FORMAT_FLOAT:
      return "32-bit float";
    case SF_FORMAT_DOUBLE:
      return "64-bit float";
    case SF_FORMAT_ULAW:
      return "u-law";
    case SF_FORMAT_ALAW:
      return "A-law";
    case SF_FORMAT_IMA_ADPCM:
      return "IMA ADPCM";
    case SF_FORMAT_MS_ADPCM:
      return "MS ADPCM";
    case SF_FORMAT_VORBIS:
      return "Vorbis";
    case SF_FORMAT_OPUS:
      return "Opus";
    case SF_FORMAT_MPEG_LAYER_III:
      return "MP3";
    default:
      return format("encoding 0x%04X", static_cast<unsigned>(code & SF_FORMAT_SUBMASK));
  }
}

// Sample formats whose every value a 16-bit sample holds exactly.
bool exact_in_16_bits(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
      return true;
    default:
      return false;
  }
}

// A length the decoder gives for streams it cannot measure, or one no file holds.
constexpr sf_count_t longest_credible = sf_count_t{1} << 40;

// Triangular (TPDF) dither of one LSB peak: the sum of two independent uniform values. The
// generator starts from the same state for every file, so a conversion is repeatable.
class tpdf_dither {
 public:
  float next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return (static_cast<float>(state_ & 0xFFFFu) + static_cast<float>(state_ >> 16) - 65535.0f) *
           (1.0f / 65536.0f);
  }

 private:
  std::uint32_t state_ = 0x9E3779B9u;
};

// Writes the conformed audio: exactly `frames` frames, whatever the resampler delivers (it may
// give a frame more or less than the rounded length at the very end).
class sample_sink {
 public:
  sample_sink(const byte_writer& out, int channels, std::uint64_t frames, bool dither,
              float gain = 1.0f)
      : out_(out), channels_(channels), left_(frames), dither_(dither), scale_(32768.0f * gain) {}

  void put(const float* samples, std::size_t frames) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(frames, left_));
    bytes_.resize(n * channels_ * 2);
    std::uint8_t* p = bytes_.data();
    for (std::size_t k = 0; k < n * channels_; ++k) {
      const float scaled = samples[k] * scale_;
      float v = std::isnan(scaled) ? 0.0f : scaled;
      if (dither_) v += dither_source_.next();
      if (scaled > 32768.0f || scaled < -32769.0f) ++clipped_;
      const long q = std::lrint(std::clamp(v, -32768.0f, 32767.0f));
      const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(q));
      *p++ = static_cast<std::uint8_t>(s);
      *p++ = static_cast<std::uint8_t>(s >> 8);
    }
    out_(bytes_.data(), bytes_.size());
    left_ -= n;
  }

  void put(const short* samples, std::size_t frames) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(frames, left_));
    bytes_.resize(n * channels_ * 2);
    for (std::size_t k = 0; k < n * channels_; ++k) {
      const auto s = static_cast<std::uint16_t>(samples[k]);
      bytes_[2 * k] = static_cast<std::uint8_t>(s);
      bytes_[2 * k + 1] = static_cast<std::uint8_t>(s >> 8);
    }
    out_(bytes_.data(), bytes_.size());
    left_ -= n;
  }

  // Silence for the frames the resampler left short.
  void finish() {
    const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(left_) * channels_ * 2, 0);
    out_(zeros.data(), zeros.size());
    left_ = 0;
  }

  std::uint64_t clipped() const { return clipped_; }

 private:
  const byte_writer& out_;
  int channels_;
  std::uint64_t left_;
  bool dither_;
  float scale_;
  tpdf_dither dither_source_;
  std::uint64_t clipped_ = 0;
  std::vector<std::uint8_t> bytes_;
};

class resampler {
 public:
  // `recipe`: SOXR_VHQ for conform (as `sox rate -v`); renderings use SOXR_32_BITQ, libsoxr's
  // highest.
  resampler(double rate, int channels, unsigned long recipe = SOXR_VHQ) {
    const soxr_io_spec_t io = codecs().soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = codecs().soxr_quality_spec(recipe, 0);
    soxr_error_t error = nullptr;
    soxr_ = codecs().soxr_create(rate, conform_rate, static_cast<unsigned>(channels), &error, &io,
                                 &quality, nullptr);
    if (error) error_ = error;
  }
  ~resampler() {
    if (soxr_) codecs().soxr_delete(soxr_);
  }
  resampler(const resampler&) = delete;
  resampler& operator=(const resampler&) = delete;

  const std::string& error() const { return error_; }

  // Feeds `frames` frames (none: the end of the input) and hands every frame that comes out to
  // `sink` through `buffer`.
  bool process(const float* in, std::size_t frames, std::vector<float>& buffer, int channels,
               sample_sink& sink) {
    const std::size_t capacity = buffer.size() / channels;
    if (in == nullptr) {
      for (;;) {
        std::size_t produced = 0;
        if (soxr_error_t e = codecs().soxr_process(soxr_, nullptr, 0, nullptr, buffer.data(),
                                                   capacity, &produced)) {
          error_ = e;
          return false;
        }
        if (produced == 0) return true;
        sink.put(buffer.data(), produced);
      }
    }
    while (frames > 0) {
      std::size_t used = 0, produced = 0;
      if (soxr_error_t e =
              codecs().soxr_process(soxr_, in, frames, &used, buffer.data(), capacity, &produced)) {
        error_ = e;
        return false;
      }
      sink.put(buffer.data(), produced);
      in += used * channels;
      frames -= used;
    }
    return true;
  }

 private:
  soxr_t soxr_ = nullptr;
  std::string error_;
};

std::string ended_early(sf_count_t got, sf_count_t expected) {
  return format("the audio ends after %lld of %lld frames", static_cast<long long>(got),
                static_cast<long long>(expected));
}

}  // namespace

bool conform_available() {
  return codecs().complete;
}

codec_versions conform_codec_versions() {
  const codec_libraries& c = codecs();
  codec_versions v;
  if (!c.complete) return v;
  if (c.sf_version_string && c.sf_version_string()) v.sndfile = c.sf_version_string();
  if (c.soxr_version && c.soxr_version()) v.soxr = c.soxr_version();
  return v;
}

audio_source_info probe_audio(byte_source& in) {
  audio_source_info a;
  if (!codecs().complete) {
    a.reason = "libsndfile and libsoxr could not be loaded";
    return a;
  }
  decoder d(in);
  if (!d.get()) {
    a.reason = "cannot be decoded: " + d.error();
    return a;
  }
  const SF_INFO& i = d.info();
  a.channels = i.channels;
  a.sample_rate = i.samplerate;
  a.format_text = format("%s %s %d Hz %s", container_name(i.format),
                         encoding_name(i.format).c_str(), i.samplerate,
                         i.channels == 1   ? "mono"
                         : i.channels == 2 ? "stereo"
                                           : format("%d channels", i.channels).c_str());
  if (i.frames < 0 || i.frames >= longest_credible) {
    a.reason = "its length cannot be told before decoding it";
    return a;
  }
  if (i.samplerate <= 0) {
    a.reason = "it gives no sample rate";
    return a;
  }
  a.frames = static_cast<std::uint64_t>(i.frames);
  a.exact = exact_in_16_bits(i.format) && i.samplerate == conform_rate;
  a.decodable = true;
  return a;
}

conform_outcome write_conformed(byte_source& in, const audio_source_info& expected,
                                atomic_output_file& out, host& h, std::size_t block_frames) {
  conform_outcome result;
  decoder d(in);
  if (!d.get()) {
    result.reason = "cannot be decoded: " + d.error();
    return result;
  }
  const SF_INFO& i = d.info();
  if (i.channels != expected.channels || i.samplerate != expected.sample_rate ||
      static_cast<std::uint64_t>(i.frames) != expected.frames) {
    result.reason = "it changed while it was being conformed";
    return result;
  }
  const int channels = i.channels;
  const std::uint64_t frames_out = conformed_frames(expected);
  const auto header =
      wav_canonical_header(channels, static_cast<std::uint32_t>(frames_out * channels * 2));
  out.write(header.data(), header.size());
  const byte_writer to_out = [&out](const void* data, std::size_t count) {
    out.write(data, count);
  };
  sample_sink sink(to_out, channels, frames_out, !expected.exact);
  const sf_count_t total = i.frames;
  sf_count_t done = 0;
  const auto block = static_cast<sf_count_t>(block_frames);

  if (expected.exact) {
    std::vector<short> samples(block_frames * channels);
    while (done < total) {
      const sf_count_t got =
          codecs().sf_readf_short(d.get(), samples.data(), std::min(block, total - done));
      if (got <= 0) {
        result.reason = ended_early(done, total);
        return result;
      }
      sink.put(samples.data(), static_cast<std::size_t>(got));
      done += got;
      h.process_events();
    }
  } else {
    std::vector<float> samples(block_frames * channels);
    std::optional<resampler> rs;
    std::vector<float> resampled;
    if (i.samplerate != conform_rate) {
      rs.emplace(i.samplerate, channels);
      if (!rs->error().empty()) {
        result.reason = "cannot be resampled: " + rs->error();
        return result;
      }
      const std::size_t out_frames =
          block_frames * conform_rate / static_cast<std::size_t>(i.samplerate) + 1024;
      resampled.resize(out_frames * channels);
    }
    while (done < total) {
      const sf_count_t got =
          codecs().sf_readf_float(d.get(), samples.data(), std::min(block, total - done));
      if (got <= 0) {
        result.reason = ended_early(done, total);
        return result;
      }
      if (rs) {
        if (!rs->process(samples.data(), static_cast<std::size_t>(got), resampled, channels,
                         sink)) {
          result.reason = "cannot be resampled: " + rs->error();
          return result;
        }
      } else {
        sink.put(samples.data(), static_cast<std::size_t>(got));
      }
      done += got;
      h.process_events();
    }
    if (rs && !rs->process(nullptr, 0, resampled, channels, sink)) {
      result.reason = "cannot be resampled: " + rs->error();
      return result;
    }
  }
  sink.finish();
  result.ok = true;
  result.clipped = sink.clipped();
  return result;
}

std::string decode_audio(byte_source& in, std::uint64_t first, std::optional<std::uint64_t> end,
                         decoded_audio& audio) {
  if (!codecs().complete) return "libsndfile and libsoxr could not be loaded";
  decoder d(in);
  if (!d.get()) return "cannot be decoded: " + d.error();
  const SF_INFO& i = d.info();
  if (i.frames < 0 || i.frames >= longest_credible)
    return "its length cannot be told before decoding it";
  if (i.samplerate <= 0) return "it gives no sample rate";
  const auto total = static_cast<std::uint64_t>(i.frames);
  const std::uint64_t stop = std::min(end.value_or(total), total);
  if (first >= stop) return "it holds no audio between its first and last frame";
  audio.channels = i.channels;
  audio.sample_rate = i.samplerate;
  audio.exact = exact_in_16_bits(i.format);
  audio.samples.assign(static_cast<std::size_t>(stop - first) * i.channels, 0.0f);
  // Frames before `first` are read and dropped: not every decoder can seek.
  std::vector<float> skipped(std::min<std::uint64_t>(first, 16384) * i.channels);
  for (std::uint64_t left = first; left > 0;) {
    const auto n = static_cast<sf_count_t>(std::min<std::uint64_t>(left, 16384));
    if (codecs().sf_readf_float(d.get(), skipped.data(), n) != n)
      return ended_early(static_cast<sf_count_t>(first - left), i.frames);
    left -= static_cast<std::uint64_t>(n);
  }
  const auto wanted = static_cast<sf_count_t>(stop - first);
  const sf_count_t got = codecs().sf_readf_float(d.get(), audio.samples.data(), wanted);
  if (got != wanted) return ended_early(static_cast<sf_count_t>(first) + got, i.frames);
  return {};
}

conform_outcome write_rendered(const decoded_audio& audio, double rate, float gain,
                               const byte_writer& out) {
  conform_outcome result;
  if (!codecs().complete) {
    result.reason = "libsndfile and libsoxr could not be loaded";
    return result;
  }
  const int channels = audio.channels;
  const std::uint64_t frames_in = audio.frames();
  const std::uint64_t frames_out = rendered_frames(frames_in, rate);
  const auto header =
      wav_canonical_header(channels, static_cast<std::uint32_t>(frames_out * channels * 2));
  out(header.data(), header.size());
  const bool as_is = rate == conform_rate && gain == 1.0f && audio.exact;
  sample_sink sink(out, channels, frames_out, !as_is, gain);
  if (rate == conform_rate) {
    sink.put(audio.samples.data(), static_cast<std::size_t>(frames_in));
  } else {
    resampler rs(rate, channels, SOXR_32_BITQ);
    if (!rs.error().empty()) {
      result.reason = "cannot be resampled: " + rs.error();
      return result;
    }
    // Blocks sized so that each gives about 16384 frames out, however far the pitch moves.
    const auto block =
        static_cast<std::size_t>(std::clamp(16384.0 * rate / conform_rate, 256.0, 1048576.0));
    std::vector<float> resampled((static_cast<std::size_t>(block * conform_rate / rate) + 1024) *
                                 channels);
    for (std::uint64_t done = 0; done < frames_in;) {
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(block, frames_in - done));
      if (!rs.process(audio.samples.data() + done * channels, n, resampled, channels, sink)) {
        result.reason = "cannot be resampled: " + rs.error();
        return result;
      }
      done += n;
    }
    if (!rs.process(nullptr, 0, resampled, channels, sink)) {
      result.reason = "cannot be resampled: " + rs.error();
      return result;
    }
  }
  sink.finish();
  result.ok = true;
  result.clipped = sink.clipped();
  return result;
}

#else  // built without libsndfile and libsoxr

bool conform_available() {
  return false;
}

codec_versions conform_codec_versions() {
  return {};
}

audio_source_info probe_audio(byte_source&) {
  audio_source_info a;
  a.reason = "this build cannot decode audio files";
  return a;
}

conform_outcome write_conformed(byte_source&, const audio_source_info&, atomic_output_file&, host&,
                                std::size_t) {
  conform_outcome result;
  result.reason = "this build cannot decode audio files";
  return result;
}

std::string decode_audio(byte_source&, std::uint64_t, std::optional<std::uint64_t>,
                         decoded_audio&) {
  return "this build cannot decode audio files";
}

conform_outcome write_rendered(const decoded_audio&, double, float, const byte_writer&) {
  conform_outcome result;
  result.reason = "this build cannot decode audio files";
  return result;
}

#endif

}  // namespace qbank
