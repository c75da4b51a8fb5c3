#include "audio/wave_plot.h"

#include <gtest/gtest.h>

#include <vector>

namespace qbank {
namespace {

TEST(ColumnEnds, FollowTheSinglePrecisionRunningSum) {
  // 21 frames in 30 columns: ten additions of 0.7f sum to just below 7, so column 9 ends at 6
  // where exact division would give 7 (values from an independent float32 simulation).
  const std::vector<std::uint32_t> expected = {0,  1,  2,  2,  3,  4,  4,  5,  6,  6,
                                               7,  8,  9,  9,  10, 11, 11, 12, 13, 13,
                                               14, 15, 16, 16, 17, 18, 18, 19, 20, 21};
  EXPECT_EQ(column_ends(21, 30), expected);
  EXPECT_EQ(column_ends(10, 4), (std::vector<std::uint32_t>{2, 5, 7, 10}));
  EXPECT_EQ(column_ends(1000, 3), (std::vector<std::uint32_t>{333, 666, 1000}));
  EXPECT_EQ(column_ends(5, 1), (std::vector<std::uint32_t>{5}));
}

TEST(ColumnEnds, LongSlotDriftsAndTheLastColumnEndsAtTheLastFrame) {
  // A 65535-sector slot: the running sum drifts ahead of exact division by tens of frames.
  const std::uint32_t frames = 65535u * 512u / 2u;
  const std::vector<std::uint32_t> ends = column_ends(frames, plot_width);
  ASSERT_EQ(ends.size(), std::size_t{plot_width});
  EXPECT_EQ(ends[0], 26714u);
  EXPECT_EQ(ends[60], 1629608u);
  EXPECT_EQ(ends[600], 16055705u);
  EXPECT_EQ(ends.back(), frames);
  for (std::size_t x = 1; x < ends.size(); ++x) ASSERT_LE(ends[x - 1], ends[x]) << x;
}

TEST(WavePeaks, MonoColumnsTakeThePeaksOfTheirOwnFrames) {
  // 10 frames in 4 columns: [0,2) [2,5) [5,7) [7,10).
  const std::vector<std::int16_t> s = {100, -5, 7, 3000, -2, -32768, -40, -1, 20, 32767};
  const wave_peaks p = compute_wave_peaks(s.data(), 20, false, 4);
  EXPECT_EQ(p.frames, 10u);
  ASSERT_EQ(p.width(), 4);
  EXPECT_EQ(p.at(0, 0).positive, 100);
  EXPECT_EQ(p.at(0, 0).negative, 5);
  EXPECT_EQ(p.at(1, 0).positive, 3000);
  EXPECT_EQ(p.at(1, 0).negative, 2);
  EXPECT_EQ(p.at(2, 0).positive, 0);  // only negative samples
  EXPECT_EQ(p.at(2, 0).negative, 32768);
  EXPECT_EQ(p.at(3, 0).positive, 32767);
  EXPECT_EQ(p.at(3, 0).negative, 1);
}

TEST(WavePeaks, StereoKeepsTheChannelsApartAndIgnoresAnOddTail) {
  // Frames (left, right); 11 bytes = 2 whole frames and a tail.
  const std::vector<std::int16_t> s = {1000, -7, -300, 9, 5, 0};
  const wave_peaks p = compute_wave_peaks(s.data(), 11, true, 2);
  EXPECT_EQ(p.frames, 2u);
  EXPECT_EQ(p.at(0, 0).positive, 1000);
  EXPECT_EQ(p.at(0, 1).negative, 7);
  EXPECT_EQ(p.at(1, 0).negative, 300);
  EXPECT_EQ(p.at(1, 1).positive, 9);
}

TEST(WavePeaks, NoAudioGivesFlatColumns) {
  const wave_peaks p = compute_wave_peaks(nullptr, 0, false, plot_width);
  EXPECT_EQ(p.frames, 0u);
  ASSERT_EQ(p.width(), plot_width);
  for (const column_height& c : column_heights(p, 19, plot_height)) {
    ASSERT_EQ(c.above[0], 0);
    ASSERT_EQ(c.below[0], 0);
  }
}

TEST(ColumnHeights, ZoomMultipliesAndClamps) {
  const std::vector<std::int16_t> s = {2000, -2000};
  const wave_peaks p = compute_wave_peaks(s.data(), 4, false, 1);
  // At x20 a peak of 2000 is clamped to 32767: truncate(32767 x 44 / 32768) = 43 in 88 pixels.
  EXPECT_EQ(column_heights(p, 19, plot_height)[0].above[0], 43);
  EXPECT_EQ(column_heights(p, 19, plot_height)[0].below[0], 43);
  // x1: 2000 x 44 / 32768 = 2.68; x10: 20000 x 44 / 32768 = 26.9.
  EXPECT_EQ(column_heights(p, 0, plot_height)[0].above[0], 2);
  EXPECT_EQ(column_heights(p, 9, plot_height)[0].above[0], 26);
  // Full scale negative -32768 reaches 43, not 44, at every level.
  const std::vector<std::int16_t> full = {-32768};
  EXPECT_EQ(column_heights(compute_wave_peaks(full.data(), 2, false, 1), 0, 88)[0].below[0], 43);
}

TEST(ColumnHeights, StereoLanesUseAQuarterOfTheHeight) {
  const std::vector<std::int16_t> s = {32767, -16384};
  const std::vector<column_height> h =
      column_heights(compute_wave_peaks(s.data(), 4, true, 1), 0, plot_height);
  EXPECT_EQ(h[0].above[0], 21);  // 32767 x 22 / 32768
  EXPECT_EQ(h[0].below[1], 11);  // 16384 x 22 / 32768
  EXPECT_EQ(lane_centre(true, 0, 88), 22);
  EXPECT_EQ(lane_centre(true, 1, 88), 66);
  EXPECT_EQ(lane_centre(false, 0, 88), 44);
}

TEST(PlotTexts, DurationOfFrames) {
  EXPECT_EQ(duration_text(2'880'000), "01:00:000");
  EXPECT_EQ(duration_text(0), "00:00:000");
  EXPECT_EQ(duration_text(47), "00:00:000");
  EXPECT_EQ(duration_text(48), "00:00:001");
  EXPECT_EQ(duration_text(65535u * 256u), "05:49:520");
  EXPECT_EQ(duration_text(4'294'967'295u), "1491:18:485");
}

TEST(PlotTexts, ZoomStepsStopAtBothEnds) {
  EXPECT_EQ(zoom_text(0), "x1");
  EXPECT_EQ(zoom_text(19), "x20");
  EXPECT_EQ(zoom_step(18, true), 19);
  EXPECT_EQ(zoom_step(19, true), 19);
  EXPECT_EQ(zoom_step(1, false), 0);
  EXPECT_EQ(zoom_step(0, false), 0);
}

TEST(Cursor, TravelsLeftToRightAndLeavesAtTheEnd) {
  // Five minutes of mono audio.
  const std::uint32_t length = 5u * 60u * 96000u;
  EXPECT_EQ(cursor_column(0, length, plot_width), 0);
  EXPECT_EQ(cursor_column(length / 2, length, plot_width), plot_width / 2);
  EXPECT_EQ(cursor_column(length - 1, length, plot_width), plot_width - 1);
  EXPECT_EQ(cursor_column(length, length, plot_width), -1);
  EXPECT_EQ(cursor_column(std::uint64_t{1} << 40, length, plot_width), -1);
  EXPECT_EQ(cursor_column(0, 0, plot_width), -1);
  int last = -1;
  for (std::uint32_t p = 0; p < length; p += 96000) {
    const int x = cursor_column(p, length, plot_width);
    ASSERT_GE(x, last);
    last = x;
  }
}

}  // namespace
}  // namespace qbank
