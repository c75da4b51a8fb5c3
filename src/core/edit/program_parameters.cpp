#include "edit/program_parameters.h"

#include <algorithm>
#include <type_traits>

namespace qbank {
namespace {

template <auto Field>
int get_field(const blend& b) {
  return b.*Field;
}
template <auto Field>
void set_field(blend& b, int value) {
  b.*Field = static_cast<std::remove_cvref_t<decltype(b.*Field)>>(value);
}

template <auto Field>
constexpr program_parameter rule(const char* field, int scale = 1, int min_index = 0,
                                 bool editable = true) {
  return {field, &get_field<Field>, &set_field<Field>, scale, min_index, editable};
}

// The instrument plays no portamento shorter than 5 ms, no delay of 0 and no time base of 0.
constexpr program_parameter rules[] = {
    rule<&blend::program_volume>("program_volume", 1, 0, false),
    rule<&blend::velo_sensitive>("velo_sensitive"),
    rule<&blend::osc_mode>("osc_mode"),
    rule<&blend::sample_offset>("sample_offset"),
    rule<&blend::lfo_waveform>("lfo_waveform"),
    rule<&blend::lfo_speed>("lfo_speed"),
    rule<&blend::lfo_depth>("lfo_depth"),
    rule<&blend::velo_to_porta>("velo_to_porta"),
    rule<&blend::pb_range>("pb_range"),
    rule<&blend::pg_transpose>("pg_transpose"),
    rule<&blend::at_mode>("at_mode"),
    rule<&blend::porta_time>("porta_time", 1, 5),
    rule<&blend::qs_porta_offset>("qs_porta_offset"),
    rule<&blend::velo_sample_offset>("velo_sample_offset"),
    rule<&blend::auto_sample_offset_max_sectors>("auto_sample_offset_max_sectors"),
    rule<&blend::auto_sample_offset_time_base>("auto_sample_offset_time_base", 100, 1),
    rule<&blend::delay_mix>("delay_mix"),
    rule<&blend::delay_feedback>("delay_feedback"),
    rule<&blend::delay_time>("delay_time", 1, 1),
    rule<&blend::attack>("attack"),
    rule<&blend::release>("release"),
};

}  // namespace

std::span<const program_parameter> program_parameters() {
  return rules;
}

const program_parameter* find_program_parameter(std::string_view field) {
  for (const program_parameter& f : rules)
    if (field == f.field) return &f;
  return nullptr;
}

int store_parameter_index(blend& p, const program_parameter& f, int index) {
  if (!f.editable) return parameter_index(p, f);
  index = std::max(index, f.min_index);
  f.set(p, index * f.scale);
  return index;
}

int parameter_index(const blend& p, const program_parameter& f) {
  return f.get(p) / f.scale;
}

void store_zone_indexes(blend& p, const std::array<int, zone_reference_count>& indexes) {
  const auto refs = multisample_references(p);
  for (int k = 0; k < zone_reference_count; ++k)
    *refs[k] = static_cast<std::uint16_t>(std::max(0, indexes[k]));
}

}  // namespace qbank
