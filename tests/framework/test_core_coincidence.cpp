// The filter that lets a frame draw one of a heap of primitives that would
// cover the same pixels.
#include "framework/3d/coincidence_filter.h"

#include <gtest/gtest.h>

#include <limits>

TEST(CoreCoincidence, SameKeySeenWithinAFrameOnlyAndPlacesBinnedByEighths) {
  CoincidenceFilter filter;
  const CoincidenceFilter::Key a{1, 2, 3, 4, 5, 0};
  CoincidenceFilter::Key b = a;
  b[4] = 6;  // another colour
  EXPECT_FALSE(filter.seen(a));
  EXPECT_TRUE(filter.seen(a));
  EXPECT_FALSE(filter.seen(b));
  EXPECT_TRUE(filter.seen(a));
  filter.clear();
  EXPECT_FALSE(filter.seen(a));
  // Many keys in between push the first one out; it is then drawn again,
  // never taken for another.
  for (std::int64_t i = 0; i < 100'000; ++i) EXPECT_FALSE(filter.seen({i, -i, 7, 7, 7, 7}));
  EXPECT_FALSE(filter.seen(a));

  EXPECT_EQ(CoincidenceFilter::eighths(0.0), 0);
  EXPECT_EQ(CoincidenceFilter::eighths(0.124), 0);
  EXPECT_EQ(CoincidenceFilter::eighths(0.126), 1);
  EXPECT_EQ(CoincidenceFilter::eighths(-0.01), -1);
  EXPECT_EQ(CoincidenceFilter::eighths(1e300), CoincidenceFilter::eighths(1e200));
  EXPECT_EQ(CoincidenceFilter::eighths(std::numeric_limits<double>::quiet_NaN()), CoincidenceFilter::eighths(-1e300));
}
