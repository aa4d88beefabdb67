#include "framework/3d/element3d.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

std::vector<std::shared_ptr<Element3D>> makeElements(int n) {
  std::vector<std::shared_ptr<Element3D>> v;
  for (int i = 0; i < n; ++i) v.push_back(std::make_shared<Element3D>());
  return v;
}

}  // namespace

TEST(CoreGroup3D, MarkedRemovalsKeepOrderCountAndIndicesExact) {
  const auto e = makeElements(6);
  Group3D g;
  for (const auto& x : e) g.Append(x);

  g.Remove(e[1].get());
  g.Remove(e[4].get());
  EXPECT_EQ(g.Count(), 4);  // the count is right before any access by index
  EXPECT_FALSE(g.Contains(e[1].get()));
  EXPECT_EQ(g.Item(0), e[0]);
  EXPECT_EQ(g.Item(1), e[2]);
  EXPECT_EQ(g.Item(2), e[3]);
  EXPECT_EQ(g.Item(3), e[5]);
  EXPECT_EQ(g.Item(4), nullptr);

  // Removing twice, or an element that never was in, changes nothing.
  g.Remove(e[1].get());
  Element3D stranger;
  g.Remove(stranger);
  EXPECT_EQ(g.Count(), 4);

  // Removal by index after marked removals addresses the compacted list.
  g.Remove(e[0].get());
  g.Remove(0);  // now e[2]
  ASSERT_EQ(g.Count(), 2);
  EXPECT_EQ(g.Item(0), e[3]);
  EXPECT_EQ(g.Item(1), e[5]);
  EXPECT_EQ(g.IndexOf(e[5].get()), 1);
  EXPECT_EQ(g.IndexOf(e[2].get()), -1);
}

TEST(CoreGroup3D, AnElementAppendedTwiceLeavesOnceForEachRemoval) {
  const auto e = makeElements(2);
  Group3D g;
  g.Append(e[0]);
  g.Append(e[1]);
  g.Append(e[0]);
  g.Remove(e[0].get());  // the later occurrence goes
  ASSERT_EQ(g.Count(), 2);
  EXPECT_EQ(g.Item(0), e[0]);
  EXPECT_EQ(g.Item(1), e[1]);
  // Removed and appended again before any access: it stands at the end.
  g.Remove(e[0].get());
  g.Append(e[0]);
  ASSERT_EQ(g.Count(), 2);
  EXPECT_EQ(g.Item(0), e[1]);
  EXPECT_EQ(g.Item(1), e[0]);
}

TEST(CoreGroup3D, RemovingEveryOtherOfManyElementsKeepsTheRestInOrder) {
  // Many marked removals, then one access: every other element is gone, in order.
  const auto e = makeElements(200000);
  Group3D g;
  for (const auto& x : e) g.Append(x);
  for (std::size_t i = 0; i < e.size(); i += 2) g.Remove(e[i].get());
  ASSERT_EQ(g.Count(), 100000);
  EXPECT_EQ(g.Item(0), e[1]);
  EXPECT_EQ(g.Item(99999), e[199999]);
}
