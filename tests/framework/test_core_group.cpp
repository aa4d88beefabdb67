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

// An element in several groups at once, or in one several times, is counted
// apart in each: removals in one group never touch another's, and an element
// outlives the groups that held it.
TEST(CoreGroup3D, MembershipsInSeveralGroupsStayApart) {
  const auto e = makeElements(3);
  auto first = std::make_unique<Group3D>();
  Group3D second;
  for (const auto& x : e) first->Append(x);
  second.Append(e[1]);
  second.Append(e[0]);
  second.Append(e[1]);

  first->Remove(e[1].get());
  EXPECT_FALSE(first->Contains(e[1].get()));
  EXPECT_TRUE(second.Contains(e[1].get()));
  ASSERT_EQ(second.Count(), 3);
  second.Remove(e[1].get());  // the later of its two occurrences
  ASSERT_EQ(second.Count(), 2);
  EXPECT_EQ(second.Item(0), e[1]);
  EXPECT_EQ(second.Item(1), e[0]);
  ASSERT_EQ(first->Count(), 2);
  EXPECT_EQ(first->Item(0), e[0]);
  EXPECT_EQ(first->Item(1), e[2]);

  // Taken out of one group and put back, then into a third group.
  first->Append(e[1]);
  EXPECT_EQ(first->IndexOf(e[1].get()), 2);
  Group3D third;
  third.Append(e[2]);
  first->Remove(e[2].get());
  EXPECT_TRUE(third.Contains(e[2].get()));
  EXPECT_EQ(first->IndexOf(e[2].get()), -1);

  // The first group goes; its elements join and leave others as before.
  first.reset();
  Group3D fourth;
  for (const auto& x : e) fourth.Append(x);
  fourth.Remove(e[0].get());
  fourth.Remove(0);  // now e[1]
  ASSERT_EQ(fourth.Count(), 1);
  EXPECT_EQ(fourth.Item(0), e[2]);
  EXPECT_TRUE(second.Contains(e[0].get()));
  EXPECT_TRUE(third.Contains(e[2].get()));

  // Removed by index, an element is no longer counted: removing it again by
  // element changes nothing.
  second.Remove(0);  // e[1]
  second.Remove(e[1].get());
  ASSERT_EQ(second.Count(), 1);
  EXPECT_EQ(second.Item(0), e[0]);
}

// A group emptied of a large scene gives back the room its list took; one
// that shrinks a little keeps it for what comes next.
TEST(CoreGroup3D, EmptyingALargeGroupReleasesItsList) {
  const auto e = makeElements(100000);
  Group3D g;
  for (const auto& x : e) g.Append(x);
  const std::size_t full = g.Items().capacity();
  for (int i = 0; i < 1000; ++i) g.Remove(g.Count() - 1);
  EXPECT_EQ(g.Items().capacity(), full);
  for (int i = g.Count() - 1; i >= 0; --i) g.Remove(i);
  EXPECT_EQ(g.Count(), 0);
  EXPECT_LT(g.Items().capacity(), full / 8);
  // The same by marked removals.
  for (const auto& x : e) g.Append(x);
  for (const auto& x : e) g.Remove(x.get());
  EXPECT_EQ(g.Count(), 0);
  EXPECT_LT(g.Items().capacity(), full / 8);
}
