// Record layouts of the bank image. The image is the head of every bank file and is copied
// whole between memory and files, so these structs are the file format: fixed layout, packed,
// little-endian (the static_asserts below pin every size and named offset).
//
//   offset       size        content
//   0            512         start_sector (the version-6 start-sector template)
//   512          2048        global_parameter
//   2560         9999 x 512  blend (programs 0..9998)
//   5,122,048    10000x1024  multisample (0..9999)
//   15,362,048               end of the image (30004 sectors)
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qbank {

static_assert(std::endian::native == std::endian::little,
              "records are stored little-endian and copied whole");

inline constexpr int program_count = 9999;
inline constexpr int multisample_count = 10000;
// The highest program and multisample numbers.
inline constexpr int last_program = program_count - 1;
inline constexpr int last_multisample = multisample_count - 1;
inline constexpr int slots_per_multisample = 128;
inline constexpr int name_size = 16;
inline constexpr int comment_size = 240;
inline constexpr std::uint32_t sector_size = 512;

#pragma pack(push, 1)

// The instrument's system settings; not interpreted here, only reset, copied and exchanged.
struct global_parameter {
  std::uint8_t bytes[2048];
};

// Basic zone of a program (8 bytes).
struct zone {
  std::uint16_t multisample;  // 1..9999; 0 = "No Multisample"
  std::uint8_t volume;
  std::uint8_t velo_low;
  std::uint8_t velo_high;
  std::uint8_t key_low;
  std::uint8_t key_high;
  std::uint8_t transpose;  // semitones + 64
};

// Legato, release and modulation zones (4 bytes).
struct extra_zone {
  std::uint16_t multisample;
  std::uint8_t volume;
  std::uint8_t transpose;  // semitones + 64
};

// A program (512 bytes).
struct blend {
  char name[name_size];
  std::uint8_t program_volume;
  std::uint8_t velo_sensitive;
  std::uint8_t osc_mode;
  std::uint8_t sample_offset;
  std::uint8_t lfo_waveform;
  std::uint8_t lfo_speed;
  std::uint8_t lfo_depth;
  std::uint8_t velo_to_porta;
  std::uint8_t pb_range;
  std::uint8_t pg_transpose;  // semitones + 24
  std::uint8_t at_mode;
  std::uint8_t porta_time;
  zone zones[8];
  extra_zone legato_zone;
  extra_zone release_zone;
  extra_zone mod_zones[4];
  std::uint8_t reserved_a[152];
  std::uint8_t reserved_b[4];
  std::uint8_t reserved_c[160];  // byte 403 of the record: accordion-fix mark
  std::uint8_t reserved_d[42];   // byte 458 of the record: mono_hold
  std::uint8_t qs_porta_offset;
  std::uint8_t reserved_e;
  std::uint8_t velo_sample_offset;
  std::uint8_t auto_sample_offset_max_sectors;
  std::uint16_t auto_sample_offset_time_base;  // list index x 100
  std::uint8_t delay_mix;
  std::uint8_t delay_feedback;
  std::uint16_t delay_time;
  std::uint8_t reserved_f[24];
  std::uint16_t attack;
  std::uint16_t release;
};

// Where a slot's audio lies in the bank file (6 bytes).
struct slot {
  std::uint32_t first_sector;  // absolute sector number; byte position = first_sector * 512
  std::uint16_t sector_count;  // whole sectors of audio; 0 = no audio
};

// A multisample (1024 bytes).
struct multisample {
  char name[name_size];
  char comment[comment_size];  // byte 239 of the comment (255 of the record) is always 0
  slot slots[slots_per_multisample];
};

// The whole bank image, laid out as the head of a version-6 bank file.
struct bank_image {
  std::uint8_t start_sector[sector_size];
  global_parameter global;
  blend blends[program_count];
  multisample multisamples[multisample_count];
};

#pragma pack(pop)

// Single bytes inside the reserved blocks that some operations address by record offset.
inline constexpr std::size_t blend_accordion_mark_offset = 403;
inline constexpr std::size_t blend_mono_hold_offset = 458;

inline constexpr std::size_t bank_image_size = 15'362'048;
inline constexpr std::uint32_t bank_image_sectors = 30'004;

static_assert(sizeof(global_parameter) == 2048);
static_assert(sizeof(zone) == 8);
static_assert(sizeof(extra_zone) == 4);
static_assert(sizeof(slot) == 6);
static_assert(sizeof(blend) == 512);
static_assert(sizeof(multisample) == 1024);
static_assert(sizeof(bank_image) == bank_image_size);
static_assert(bank_image_size == std::size_t{bank_image_sectors} * sector_size);

static_assert(offsetof(zone, volume) == 2 && offsetof(zone, transpose) == 7);
static_assert(offsetof(extra_zone, volume) == 2 && offsetof(extra_zone, transpose) == 3);
static_assert(offsetof(slot, sector_count) == 4);

static_assert(offsetof(blend, program_volume) == 16);
static_assert(offsetof(blend, velo_sensitive) == 17);
static_assert(offsetof(blend, osc_mode) == 18);
static_assert(offsetof(blend, sample_offset) == 19);
static_assert(offsetof(blend, lfo_waveform) == 20);
static_assert(offsetof(blend, lfo_speed) == 21);
static_assert(offsetof(blend, lfo_depth) == 22);
static_assert(offsetof(blend, velo_to_porta) == 23);
static_assert(offsetof(blend, pb_range) == 24);
static_assert(offsetof(blend, pg_transpose) == 25);
static_assert(offsetof(blend, at_mode) == 26);
static_assert(offsetof(blend, porta_time) == 27);
static_assert(offsetof(blend, zones) == 28);
static_assert(offsetof(blend, legato_zone) == 92);
static_assert(offsetof(blend, release_zone) == 96);
static_assert(offsetof(blend, mod_zones) == 100);
static_assert(offsetof(blend, reserved_a) == 116);
static_assert(offsetof(blend, reserved_b) == 268);
static_assert(offsetof(blend, reserved_c) == 272);
static_assert(offsetof(blend, reserved_d) == 432);
static_assert(offsetof(blend, qs_porta_offset) == 474);
static_assert(offsetof(blend, reserved_e) == 475);
static_assert(offsetof(blend, velo_sample_offset) == 476);
static_assert(offsetof(blend, auto_sample_offset_max_sectors) == 477);
static_assert(offsetof(blend, auto_sample_offset_time_base) == 478);
static_assert(offsetof(blend, delay_mix) == 480);
static_assert(offsetof(blend, delay_feedback) == 481);
static_assert(offsetof(blend, delay_time) == 482);
static_assert(offsetof(blend, reserved_f) == 484);
static_assert(offsetof(blend, attack) == 508);
static_assert(offsetof(blend, release) == 510);
static_assert(blend_accordion_mark_offset >= offsetof(blend, reserved_c) &&
              blend_accordion_mark_offset < offsetof(blend, reserved_d));
static_assert(blend_mono_hold_offset >= offsetof(blend, reserved_d) &&
              blend_mono_hold_offset < offsetof(blend, qs_porta_offset));

static_assert(offsetof(multisample, comment) == 16);
static_assert(offsetof(multisample, slots) == 256);

static_assert(offsetof(bank_image, global) == 512);
static_assert(offsetof(bank_image, blends) == 2560);
static_assert(offsetof(bank_image, multisamples) == 5'122'048);

// Bank audio is 16-bit little-endian offset binary (0x8000 is silence); WAV audio is two's
// complement. Either way round, the top bit of every sample flips: the top bit of each odd
// byte of `bytes`, counted from its start. A final odd byte count leaves the last byte (half
// a sample) as it is.
inline void flip_sample_signs(std::uint8_t* bytes, std::size_t count) {
  constexpr std::uint64_t sample_tops = 0x8000'8000'8000'8000ull;
  std::size_t k = 0;
  for (; k + 8 <= count; k += 8) {
    std::uint64_t w;
    std::memcpy(&w, bytes + k, 8);
    w ^= sample_tops;
    std::memcpy(bytes + k, &w, 8);
  }
  for (k += 1; k < count; k += 2) bytes[k] ^= 0x80;
}

// Whether `count` bytes are all zero, looked at a word at a time. Most slot tables of a bank
// (those of unused multisamples) are, and this costs a fraction of a walk over their slots.
inline bool all_zero_bytes(const void* bytes, std::size_t count) {
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  std::uint64_t any = 0;
  std::size_t k = 0;
  for (; k + 8 <= count; k += 8) {
    std::uint64_t w;
    std::memcpy(&w, p + k, 8);
    any |= w;
  }
  for (; k < count; ++k) any |= p[k];
  return any == 0;
}

}  // namespace qbank
