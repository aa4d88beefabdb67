#include "app/listed_charges.h"
#include "charges/charge_kinds.h"
#include "charges/surface_data.h"
#include "framework/runtime/construct.h"
#include "framework/runtime/nil_object.h"
#include "framework/ui/controls.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> RowsOf(const ListBox& list) {
  std::vector<std::string> rows;
  for (int i = 0; i < list.RowCount(); ++i) rows.push_back(list.Cell(i));
  return rows;
}

}  // namespace

TEST(ListedCharges, ChargesBodiesAndRowsChangeTogether) {
  ListBox list;
  ListedCharges listed([&]() -> ListBox& { return list; });
  const auto point = New<SingleCharge>(1.0, 0.0, 0.0, 0.0);
  const auto line = New<LineCharge>(1.0, 3, Vector3D(), Vector3D(0, 10, 0));
  const auto ring = New<RingCharge>(1.0, Vector3D(), 10.0, Vector3D(0, 0, 1), 4);
  const auto pointBody = std::make_shared<SurfaceData>();
  const auto lineBody = std::make_shared<SurfaceData>();
  const auto ringBody = std::make_shared<SurfaceData>();
  listed.Append(pointBody, point);
  listed.Append(lineBody, line);
  listed.Append(ringBody, ring);
  EXPECT_EQ(listed.ChargeList(), (ListedCharges::Charges{point, line, ring}));
  EXPECT_EQ(listed.BodyList(), (ListedCharges::Bodies{pointBody, lineBody, ringBody}));
  EXPECT_EQ(RowsOf(list), (std::vector<std::string>{"Point", "Line", "Ring"}));

  // From the middle: what follows moves up in all three.
  listed.RemoveAt(1);
  EXPECT_EQ(listed.ChargeList(), (ListedCharges::Charges{point, ring}));
  EXPECT_EQ(listed.BodyList(), (ListedCharges::Bodies{pointBody, ringBody}));
  EXPECT_EQ(RowsOf(list), (std::vector<std::string>{"Point", "Ring"}));
  // Past the end: nothing changes.
  listed.RemoveAt(2);
  EXPECT_EQ(listed.ChargeList().size(), 2u);
  EXPECT_EQ(list.RowCount(), 2);

  listed.Clear();
  EXPECT_TRUE(listed.ChargeList().empty());
  EXPECT_TRUE(listed.BodyList().empty());
  EXPECT_EQ(list.RowCount(), 0);
}

TEST(ListedCharges, WithoutItsListNothingChanges) {
  ListBox list;
  bool present = true;
  ListedCharges listed([&]() -> ListBox& { return Deref(present ? &list : nullptr); });
  const auto point = New<SingleCharge>(1.0, 0.0, 0.0, 0.0);
  listed.Append(std::make_shared<SurfaceData>(), point);
  present = false;
  EXPECT_THROW(listed.Append(std::make_shared<SurfaceData>(), point), NilObjectException);
  EXPECT_THROW(listed.RemoveAt(0), NilObjectException);
  EXPECT_THROW(listed.Clear(), NilObjectException);
  EXPECT_EQ(listed.ChargeList().size(), 1u);
  EXPECT_EQ(listed.BodyList().size(), 1u);
  EXPECT_EQ(list.RowCount(), 1);
}
