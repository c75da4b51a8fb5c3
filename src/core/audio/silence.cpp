#include "audio/silence.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "audio/wav_file.h"
#include "bank/bank.h"
#include "platform/file_error.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "ui/host.h"
#include "ui/percent_gauge.h"
#include "util/text_format.h"

namespace qbank {
namespace {

constexpr std::size_t scan_block_bytes = 1u << 18;

// The loudest sample of `count` samples, as an amplitude 0..32768.
std::uint32_t peak_of(const std::int16_t* samples, std::size_t count) {
  // Lowest and highest value, in runs of a fixed length written as plain selections: loops the
  // compiler turns into vector instructions wherever it vectorises at all (-O2 included).
  constexpr std::size_t run = 64;
  std::int16_t low = 0, high = 0;
  std::size_t i = 0;
  for (; i + run <= count; i += run) {
    const std::int16_t* r = samples + i;
    std::int16_t run_low = 0, run_high = 0;
    for (std::size_t k = 0; k < run; ++k) {
      run_low = r[k] < run_low ? r[k] : run_low;
      run_high = r[k] > run_high ? r[k] : run_high;
    }
    low = run_low < low ? run_low : low;
    high = run_high > high ? run_high : high;
  }
  for (; i < count; ++i) {
    low = samples[i] < low ? samples[i] : low;
    high = samples[i] > high ? samples[i] : high;
  }
  return std::max<std::uint32_t>(static_cast<std::uint32_t>(-static_cast<int>(low)),
                                 static_cast<std::uint32_t>(high));
}

// A WAV file of the bank opened and checked: where its audio lies.
struct opened_wav {
  std::optional<input_file> file;
  silence_wav layout;
  explicit opened_wav(const std::filesystem::path& path) { file.emplace(path); }
};

bool examine(opened_wav& w) {
  const auto layout = silence_candidate(*w.file);
  if (!layout) return false;
  w.layout = *layout;
  return true;
}

void show_failure(host& h, const std::exception& e) {
  h.progress_hide();
  h.message(e.what(), "Error");
}

// Writes the trimmed file over the original.
void rewrite_trimmed(opened_wav& w, const std::filesystem::path& path, const tail_plan& plan) {
  atomic_output_file out(path);
  if (!write_trimmed(*w.file, w.layout, plan,
                     [&out](const void* data, std::size_t count) { out.write(data, count); }))
    throw file_error(path, "the file became shorter while it was read");
  out.close();
  // The original is closed before the rename, as Windows requires.
  w.file.reset();
  out.commit();
}

}  // namespace

std::optional<silence_wav> silence_candidate(byte_source& source) {
  const std::optional<wav_layout> w = find_wav_audio(source);
  if (!w || w->data_bytes < silence_minimum_mono_bytes * static_cast<std::uint32_t>(w->channels))
    return std::nullopt;
  return w;
}

bool write_trimmed(byte_source& source, const silence_wav& w, const tail_plan& plan,
                   const std::function<void(const void*, std::size_t)>& out) {
  const auto header = wav_canonical_header(w.channels, static_cast<std::uint32_t>(plan.kept_bytes));
  out(header.data(), header.size());
  const std::uint64_t frame_bytes = 2u * static_cast<unsigned>(w.channels);
  const std::uint64_t fade_from = plan.fade ? plan.fade_first_frame * frame_bytes : plan.kept_bytes;
  const std::uint64_t fade_to = plan.fade ? fade_from + fade_frames * frame_bytes : plan.kept_bytes;
  std::vector<std::uint8_t> buffer(
      static_cast<std::size_t>(std::clamp<std::uint64_t>(plan.kept_bytes, 1, scan_block_bytes)));
  std::uint64_t at = 0;
  while (at < plan.kept_bytes) {
    // Blocks end at the fade's edges, so the fade is always one whole block.
    std::uint64_t end = std::min(plan.kept_bytes, at + buffer.size());
    if (at < fade_from) end = std::min(end, fade_from);
    if (at >= fade_from && at < fade_to) end = std::min(end, fade_to);
    const auto count = static_cast<std::size_t>(end - at);
    source.seek(w.data_offset + at);
    if (source.read(buffer.data(), count) != count) return false;
    if (at == fade_from && plan.fade) apply_fade(buffer.data(), count / frame_bytes, w.channels);
    out(buffer.data(), count);
    at = end;
  }
  return true;
}

tail_plan plan_tail(std::uint64_t data_bytes, int channels, std::uint64_t kept_frames, bool fade) {
  tail_plan plan;
  const std::uint64_t frame_bytes = 2u * static_cast<unsigned>(channels);
  const std::uint64_t k = kept_frames * frame_bytes;
  const std::uint64_t tail = data_bytes - k;
  plan.kept_bytes = data_bytes;
  if (tail == 0) return plan;
  if (!fade) {
    plan.kept_bytes = k;
    plan.counts.removed = tail / 2;
    return plan;
  }
  const std::uint64_t fade_bytes = fade_frames * frame_bytes;
  if (tail <= fade_bytes) return plan;
  const std::uint64_t fade_samples = fade_frames * static_cast<unsigned>(channels);
  plan.kept_bytes = k + fade_bytes;
  plan.fade = true;
  plan.fade_first_frame = kept_frames > 0 ? kept_frames - 1 : 0;
  plan.counts.removed = tail / 2 - fade_samples;
  plan.counts.in_fades = fade_samples;
  return plan;
}

std::vector<std::uint64_t> kept_frames_at(byte_source& source, std::uint64_t data_offset,
                                          std::uint64_t data_bytes, int channels,
                                          std::span<const int> thresholds) {
  std::vector<std::uint64_t> kept(thresholds.size(), 0);
  const std::size_t frame_samples = static_cast<std::size_t>(channels);
  const std::size_t frame_bytes = 2 * frame_samples;
  const std::uint64_t frames = data_bytes / frame_bytes;
  const std::size_t block_frames = scan_block_bytes / frame_bytes;
  // One buffer for all files of a run: a fresh one per file would cost more than the reading.
  thread_local std::vector<std::int16_t> block;
  if (block.size() < block_frames * frame_samples) block.resize(block_frames * frame_samples);
  // Walking back from the end, the first frame louder than t settles t. Thresholds ascend, so
  // the settled ones are always the lowest: `settled` of them.
  std::size_t settled = 0;
  std::uint64_t end = frames;
  while (settled < thresholds.size() && end > 0) {
    const std::uint64_t start = end > block_frames ? end - block_frames : 0;
    const auto count = static_cast<std::size_t>(end - start);
    source.seek(data_offset + start * frame_bytes);
    // A file cut short while it is read cannot be measured: nothing is settled from it.
    if (source.read(block.data(), count * frame_bytes) != count * frame_bytes) return {};
    // Most blocks of a tail hold nothing louder than the next threshold: one vectorised peak
    // search passes over them.
    // Within a block the same holds for runs of 64 frames; only a run that holds a louder
    // sample is walked frame by frame.
    const auto louder = [&](std::size_t from, std::size_t to) {
      return peak_of(block.data() + from * frame_samples, (to - from) * frame_samples) >
             std::uint32_t(thresholds[settled]);
    };
    if (louder(0, count)) {
      constexpr std::size_t run = 64;
      for (std::size_t run_end = count; run_end > 0 && settled < thresholds.size();) {
        const std::size_t run_start = run_end > run ? run_end - run : 0;
        if (louder(run_start, run_end)) {
          for (std::size_t f = run_end; f-- > run_start && settled < thresholds.size();) {
            const std::int16_t* s = block.data() + f * frame_samples;
            std::uint32_t a = static_cast<std::uint32_t>(std::abs(int{s[0]}));
            if (frame_samples == 2)
              a = std::max(a, static_cast<std::uint32_t>(std::abs(int{s[1]})));
            while (settled < thresholds.size() && a > std::uint32_t(thresholds[settled]))
              kept[settled++] = start + f + 1;
          }
        }
        run_end = run_start;
      }
    }
    end = start;
  }
  return kept;
}

void apply_fade(std::uint8_t* frames, std::size_t frame_count, int channels) {
  for (std::size_t i = 0; i < frame_count; ++i) {
    for (int c = 0; c < channels; ++c) {
      std::uint8_t* p = frames + (i * channels + c) * 2;
      const auto s = static_cast<std::int16_t>(p[0] | p[1] << 8);
      const int scaled = s * static_cast<int>(fade_frames - i) / fade_frames;
      const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(scaled));
      p[0] = static_cast<std::uint8_t>(u);
      p[1] = static_cast<std::uint8_t>(u >> 8);
    }
  }
}

namespace {

// Visits every listed slot in multisample and slot order, with the progress of both commands:
// `visit(id, stored, processed)` per non-empty slot; the percentage after each multisample.
template <typename Visit>
void for_each_listed_file(const bank& b, host& h, Visit&& visit) {
  const std::uint64_t listed = b.count_used_slots();
  std::uint64_t processed = 0;
  percent_gauge gauge(h);
  for (int n = 0; n < multisample_count; ++n) {
    const file_list& list = b.files(n);
    bool any = false;
    for (path_id id : list) {
      if (id == empty_path_id) continue;
      any = true;
      if (visit(id, b.paths().text(id))) ++processed;
    }
    if (!any) continue;  // the percentage cannot have moved
    gauge.set(processed, listed);
    h.process_events();
  }
}

}  // namespace

std::array<silence_counts, silence_thresholds.size()> scan_silence(const bank& b, host& h,
                                                                   bool fade) {
  std::array<silence_counts, silence_thresholds.size()> totals{};
  // A path listed in several slots is read once; its tails are counted once per slot.
  struct measured {
    bool exists = false;
    bool usable = false;
    int channels = 0;
    std::uint32_t data_bytes = 0;
    std::vector<std::uint64_t> kept;
  };
  std::vector<std::int32_t> index(b.paths().size(), -1);
  std::vector<measured> results;
  progress_scope progress(h, 'w', "Calculating silence...");
  for_each_listed_file(b, h, [&](path_id id, std::string_view stored) {
    if (index[id] < 0) {
      measured m;
      const std::filesystem::path path = native_path(stored);
      m.exists = file_exists(path);
      if (m.exists) {
        h.progress_set_title(native_path_text(stored));
        try {
          opened_wav w(path);
          m.usable = examine(w);
          if (m.usable) {
            m.channels = w.layout.channels;
            m.data_bytes = w.layout.data_bytes;
            m.kept = kept_frames_at(*w.file, w.layout.data_offset, w.layout.data_bytes,
                                    w.layout.channels, silence_thresholds);
            m.usable = !m.kept.empty();
          }
        } catch (const file_error& e) {
          show_failure(h, e);
          return true;  // not remembered: the next slot naming it tries again
        }
      }
      index[id] = static_cast<std::int32_t>(results.size());
      results.push_back(std::move(m));
    } else if (results[index[id]].exists) {
      h.progress_set_title(native_path_text(stored));
    }
    const measured& m = results[index[id]];
    if (m.usable) {
      for (std::size_t t = 0; t < silence_thresholds.size(); ++t) {
        const tail_plan plan = plan_tail(m.data_bytes, m.channels, m.kept[t], fade);
        totals[t].removed += plan.counts.removed;
        totals[t].in_fades += plan.counts.in_fades;
      }
    }
    return m.exists;
  });
  return totals;
}

silence_counts remove_silence(const bank& b, host& h, int threshold, bool fade) {
  silence_counts totals;
  const int thresholds[1] = {threshold};
  progress_scope progress(h, 'w', "Calculating silence...");
  for_each_listed_file(b, h, [&](path_id, std::string_view stored) {
    const std::filesystem::path path = native_path(stored);
    if (!file_exists(path)) return false;
    h.progress_set_title(native_path_text(stored));
    try {
      opened_wav w(path);
      if (!examine(w)) return true;
      const silence_wav& l = w.layout;
      const std::vector<std::uint64_t> kept =
          kept_frames_at(*w.file, l.data_offset, l.data_bytes, l.channels, thresholds);
      if (kept.empty()) return true;
      const tail_plan plan = plan_tail(l.data_bytes, l.channels, kept[0], fade);
      if (plan.kept_bytes >= l.data_bytes) return true;
      rewrite_trimmed(w, path, plan);
      // Counted once the file is really trimmed: a file that could not be rewritten is not.
      totals.removed += plan.counts.removed;
      totals.in_fades += plan.counts.in_fades;
    } catch (const file_error& e) {
      show_failure(h, e);
    }
    return true;
  });
  return totals;
}

std::vector<std::string> silence_report_lines(
    const std::array<silence_counts, silence_thresholds.size()>& counts) {
  std::vector<std::string> lines = {"REPORT: Delete empty samples from end of WAV files!",
                                    std::string(59, '-')};
  for (std::size_t t = 0; t < silence_thresholds.size(); ++t)
    lines.push_back(format("Treshold value:  +/-%d", silence_thresholds[t]) +
                    "     Removed: " + group_thousands(counts[t].removed * 2) + " bytes, " +
                    "     In Fades: " + group_thousands(counts[t].in_fades * 2) + " bytes.");
  return lines;
}

void silence_check_command(const bank& b, host& h, bool fade) {
  const auto counts = scan_silence(b, h, fade);
  show_report(h, "Report: Scan Report", silence_report_lines(counts));
}

bool silence_apply_command(const bank& b, host& h, int threshold, bool fade) {
  if (!h.ask("WARNING!!!\nThis function try to remove silence from end of EVERY ONE WAV file "
             "loaded in you multisample list!\nThis will make permanent change in you WAV "
             "files!\n\nAre You Sure to continue?",
             "WARNING!!!"))
    return false;
  if (!h.ask("WARNING!!!\nAre You REALLY Sure to continue?", "WARNING!!!")) return false;
  const silence_counts c = remove_silence(b, h, threshold, fade);
  h.message("Null samples: " + group_thousands(c.removed) +
                " samples = " + group_thousands(c.removed * 2) +
                " bytes.\nTotal samples in fades: " + group_thousands(c.in_fades) +
                " samples = " + group_thousands(c.in_fades * 2) + " bytes.",
            "Sample Editor");
  return true;
}

}  // namespace qbank
