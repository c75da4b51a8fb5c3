// The volume layer on this machine's own file systems, the FAT naming rule, and the checked copy.
#include "platform/volume.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/card_copy.h"
#include "platform/file_io.h"
#include "sdcard/sd_write_assistant.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace qbank {
namespace {

using testing::recording_host;
using testing::temp_dir;

TEST(Volume, FatIsFat32FromTheClusterCountOn) {
  volume_stat fat;
  fat.fat = true;
  fat.clusters = 65524;
  EXPECT_EQ(file_system_name(fat), "FAT");
  fat.clusters = 65525;
  EXPECT_EQ(file_system_name(fat), "FAT32");
  volume_stat other;
  other.type = "exfat";
  other.clusters = 1u << 30;
  EXPECT_EQ(file_system_name(other), "exfat");
}

TEST(Volume, DescriptionsOfStandInVolumes) {
  auto v = parse_volume_description("fs:fat,clusters:70000,cluster_size:4096,free_clusters:3");
  ASSERT_TRUE(v && *v);
  EXPECT_EQ(file_system_name(**v), "FAT32");
  EXPECT_EQ((*v)->free_bytes, 12288u);
  v = parse_volume_description("fs:ext4,free_bytes:5,label:My Card");
  ASSERT_TRUE(v && *v);
  EXPECT_EQ(file_system_name(**v), "ext4");
  EXPECT_EQ((*v)->label, "My Card");
  v = parse_volume_description("fs:FAT32");
  ASSERT_TRUE(v && *v);
  EXPECT_FALSE((*v)->free_bytes);
  v = parse_volume_description("none");
  ASSERT_TRUE(v);
  EXPECT_FALSE(*v);
  EXPECT_FALSE(parse_volume_description("clusters:many"));
  EXPECT_FALSE(parse_volume_description("size=3"));
  EXPECT_FALSE(parse_volume_description("colour:red"));
}

TEST(Volume, RealFileSystemsOfThisMachineAreNotTakenForCards) {
  temp_dir dir;
  std::unique_ptr<volume_layer> system = make_system_volume_layer();
  const std::optional<volume_stat> stat = system->stat(dir.path());
  ASSERT_TRUE(stat);
  EXPECT_FALSE(stat->type.empty());
  EXPECT_NE(file_system_name(*stat), "FAT32");
  ASSERT_TRUE(stat->free_bytes);
  EXPECT_GT(*stat->free_bytes, 0u);
  EXPECT_FALSE(system->stat(dir / "no" / "such" / "folder"));

  const std::vector<mounted_volume> mounted = system->mounted();
  ASSERT_FALSE(mounted.empty());
  EXPECT_TRUE(std::is_partitioned(mounted.begin(), mounted.end(),
                                  [](const mounted_volume& v) { return v.removable; }));
  for (const mounted_volume& v : mounted) EXPECT_NE(v.type, "proc") << v.root;

  // The assistant refuses it.
  sd_write_assistant a;
  a.choose_destination(dir.path(), *system);
  EXPECT_EQ(a.destination().name.rfind("Name: ", 0), 0u);
  recording_host h;
  std::int32_t flag = 0;
  EXPECT_EQ(a.write(h, flag), write_result::refused);
  ASSERT_EQ(h.messages.size(), 1u);
  EXPECT_EQ(
      h.messages[0].rfind("[SD Write Assystant] Destination drive file system is not FAT32!", 0),
      0u);
}

TEST(CardCopy, ProgressFromNothingToAllAndTheNameOnlyAtTheEnd) {
  temp_dir dir;
  std::vector<char> bytes(2500000, 'q');
  write_whole_file(dir / "a.bin", bytes.data(), bytes.size());
  std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
  bool named_early = false;
  const copy_outcome out = copy_file_checked(
      dir / "a.bin", dir / "b.bin",
      [&](std::uint64_t total, std::uint64_t copied) {
        calls.emplace_back(total, copied);
        named_early = named_early || fs::exists(dir / "b.bin");
      },
      nullptr);
  EXPECT_EQ(out.status, copy_status::copied);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front(), std::make_pair(std::uint64_t{2500000}, std::uint64_t{0}));
  EXPECT_EQ(calls.back(), std::make_pair(std::uint64_t{2500000}, std::uint64_t{2500000}));
  EXPECT_FALSE(named_early);
  EXPECT_EQ(read_whole_file(dir / "b.bin").size(), 2500000u);
}

TEST(CardCopy, ExistingDestinationAndUnreadableSourceAreRefused) {
  temp_dir dir;
  write_whole_file(dir / "a", "new", 3);
  write_whole_file(dir / "b", "old", 3);
  EXPECT_EQ(copy_file_checked(dir / "a", dir / "b", {}, nullptr).status, copy_status::exists);
  EXPECT_EQ(read_whole_file(dir / "b"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  const copy_outcome missing = copy_file_checked(dir / "none", dir / "c", {}, nullptr);
  EXPECT_EQ(missing.status, copy_status::read_error);
  EXPECT_FALSE(missing.reason.empty());
  // A leftover temporary of a killed run does not block the copy, and stays for its owner.
  write_whole_file(copy_temporary_name(dir / "d", 0), "x", 1);
  EXPECT_EQ(copy_file_checked(dir / "a", dir / "d", {}, nullptr).status, copy_status::copied);
  EXPECT_FALSE(fs::exists(copy_temporary_name(dir / "d", 1)));
  EXPECT_TRUE(fs::exists(copy_temporary_name(dir / "d", 0)));
}

TEST(CardCopy, CancelDuringACopyLeavesNothing) {
  temp_dir dir;
  std::vector<char> bytes(3 << 20, 'q');
  write_whole_file(dir / "a", bytes.data(), bytes.size());
  std::int32_t flag = 0;
  const copy_outcome out = copy_file_checked(
      dir / "a", dir / "b",
      [&](std::uint64_t, std::uint64_t copied) {
        if (copied > 0) flag = 1;
      },
      &flag);
  EXPECT_EQ(out.status, copy_status::cancelled);
  EXPECT_EQ(folder_entry_names(dir.path()).size(), 1u);

  // While the copy is read back: the progress routine still runs, "Cancel" still works.
  flag = 0;
  int full_counts = 0;
  const copy_outcome late = copy_file_checked(
      dir / "a", dir / "b",
      [&](std::uint64_t total, std::uint64_t copied) {
        if (copied == total && ++full_counts == 2) flag = 1;
      },
      &flag);
  EXPECT_EQ(late.status, copy_status::cancelled);
  EXPECT_EQ(full_counts, 2);
  EXPECT_EQ(folder_entry_names(dir.path()).size(), 1u);
}

}  // namespace
}  // namespace qbank
