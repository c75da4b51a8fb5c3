// Layout of second-generation bank files (versions 1 to 4), read only. The in-memory image of
// an s2_bank is the head of a version-3 or version-4 file, so positions in the image equal
// positions in such a file.
//
//   offset        size            content
//   0             512             start sector (byte 511: version 1..4)
//   512           512             bank_file_info
//   1,024         2,048           global record, first set
//   3,072         10000 x 1,024   setup records, first set
//   10,243,072    10000 x 512     sound records, first set
//   15,363,072    2,048           global record, second set (versions 2..4)
//   15,365,120    10000 x 1,024   setup records, second set (versions 2..4)
//   25,605,120    10000 x 512     sound records, second set (versions 2..4)
//   30,725,120    10000 x 1,536   multisample records (1,024 bytes each in versions 1 and 2)
//   46,085,120    1,280,000       slot bytes
//   47,365,120                    end of the head of versions 3 and 4
//
// Then the audio area (each slot at its first_sector), a names sector ("MultisampleNames" 32
// times) at the end of the last slot's audio, the names text (128 lines per multisample) and
// an end sector whose bytes 0..510 equal the end-sector template.
//
// Versions 1 and 2 lack parts of the head: version 1 has only the first set, its multisamples
// at 15,363,072 and slot bytes at 25,603,072; version 2 has both sets, multisamples at
// 30,725,120 and slot bytes at 40,965,120. Their multisample records hold 6-byte slots.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bank/bank_format.h"

namespace qbank {

inline constexpr int s2_sound_count = 10000;
inline constexpr int s2_setup_count = 10000;
inline constexpr int s2_multisample_count = 10000;
inline constexpr std::uint32_t s2_slot_first_sector_mask = 0x3FFF'FFFF;

inline constexpr std::uint64_t s2_header_size_v1 = 26'883'072;
inline constexpr std::uint64_t s2_header_size_v2 = 42'245'120;
inline constexpr std::uint64_t s2_header_size_v3 = 47'365'120;

#pragma pack(push, 1)

struct s2_bank_file_info {
  std::uint8_t unused_a[4];
  std::uint64_t bank_size;         // bank file and all its parts, bytes
  std::uint64_t header_size;       // bytes before the audio area
  std::uint64_t sample_data_size;  // bytes of slot audio
  std::uint64_t names_size;        // bytes of the names text
  std::uint8_t unused_b[476];
};

// A sound (512 bytes). The zones are laid out like a program's zones; the parameters are
// addressed by their byte offsets in the record.
struct s2_sound {
  char name[name_size];
  std::uint8_t params_a[40];
  zone zones[20];
  std::uint8_t params_b[296];
};

struct s2_slot {
  std::uint32_t value;  // bits 0..29 first_sector, bits 30 and 31 flags
  std::uint16_t sector_count;
  std::uint16_t settings;  // 0x8100 after a reset
  std::uint16_t extra;
  std::uint32_t first_sector() const { return value & s2_slot_first_sector_mask; }
};

struct s2_multisample {
  char name[name_size];
  std::uint8_t data[240];
  s2_slot slots[slots_per_multisample];
};

// The 6-byte slot of the 1,024-byte multisample records of versions 1 and 2.
struct s2_old_slot {
  std::uint32_t value;
  std::uint16_t sector_count;
};

struct s2_old_multisample {
  std::uint8_t head[256];
  s2_old_slot slots[slots_per_multisample];
};

struct s2_setup {
  std::uint8_t bytes[1024];  // 0..23 the name
};

struct s2_global {
  std::uint8_t bytes[2048];
};

struct s2_image {
  std::uint8_t start_sector[sector_size];
  s2_bank_file_info bank_file_info;
  s2_global global;
  s2_setup setups[s2_setup_count];
  s2_sound sounds[s2_sound_count];
  s2_global global_b;
  s2_setup setups_b[s2_setup_count];
  s2_sound sounds_b[s2_sound_count];
  s2_multisample multisamples[s2_multisample_count];
  std::uint8_t slot_bytes[s2_multisample_count * slots_per_multisample];
};

#pragma pack(pop)

static_assert(sizeof(s2_bank_file_info) == 512);
static_assert(offsetof(s2_bank_file_info, bank_size) == 4);
static_assert(offsetof(s2_bank_file_info, header_size) == 12);
static_assert(offsetof(s2_bank_file_info, sample_data_size) == 20);
static_assert(offsetof(s2_bank_file_info, names_size) == 28);
static_assert(sizeof(s2_sound) == 512);
static_assert(offsetof(s2_sound, zones) == 56);
static_assert(sizeof(s2_slot) == 10);
static_assert(offsetof(s2_slot, sector_count) == 4 && offsetof(s2_slot, settings) == 6);
static_assert(sizeof(s2_multisample) == 1536);
static_assert(offsetof(s2_multisample, slots) == 256);
static_assert(sizeof(s2_old_slot) == 6);
static_assert(sizeof(s2_old_multisample) == 1024);

static_assert(offsetof(s2_image, bank_file_info) == 512);
static_assert(offsetof(s2_image, global) == 1'024);
static_assert(offsetof(s2_image, setups) == 3'072);
static_assert(offsetof(s2_image, sounds) == 10'243'072);
static_assert(offsetof(s2_image, global_b) == 15'363'072);
static_assert(offsetof(s2_image, setups_b) == 15'365'120);
static_assert(offsetof(s2_image, sounds_b) == 25'605'120);
static_assert(offsetof(s2_image, multisamples) == 30'725'120);
static_assert(offsetof(s2_image, slot_bytes) == 46'085'120);
static_assert(sizeof(s2_image) == s2_header_size_v3);

// Where the multisample records and slot bytes of the older versions lie in their files.
inline constexpr std::uint64_t s2_v1_multisamples_at = 15'363'072;
inline constexpr std::uint64_t s2_v1_slot_bytes_at = 25'603'072;
inline constexpr std::uint64_t s2_v2_slot_bytes_at = 40'965'120;
static_assert(s2_v1_multisamples_at == offsetof(s2_image, global_b));
static_assert(s2_v1_slot_bytes_at == s2_v1_multisamples_at + 10000ull * 1024);
static_assert(s2_v1_slot_bytes_at + 1'280'000 == s2_header_size_v1);
static_assert(s2_v2_slot_bytes_at == offsetof(s2_image, multisamples) + 10000ull * 1024);
static_assert(s2_v2_slot_bytes_at + 1'280'000 == s2_header_size_v2);

}  // namespace qbank
