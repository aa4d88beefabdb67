#include "charges/charge_kinds.h"
#include "charges/sheet_fields.h"
#include "charges/sheet_link.h"
#include "framework/runtime/construct.h"
#include "framework/runtime/nil_object.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// A sheet as the charge model sees it: fields by index, a grid box, a popup.
class FakeSheet : public ChargeSheet {
public:
  std::map<int, std::string> fields;
  bool grid = false;
  int popup = 0;
  SphereData::ArrowSide side = SphereData::ArrowSide::Both;
  bool done = false;

  void ShowModalWithin(QWidget*) override {}
  bool DoneFlag() const override { return done; }
  bool HasField(int index) const override { return fields.count(index) != 0; }
  std::string FieldText(int index) const override { return fields.at(index); }
  void SetFieldText(int index, const std::string& text) override { fields.at(index) = text; }
  bool GridValue() const override { return grid; }
  void SetGridValue(bool value) override { grid = value; }
  int PopupIndex() const override { return popup; }
  void SetPopupIndex(int index) override { popup = index; }
  SphereData::ArrowSide ArrowSideChosen() const override { return side; }
  void ChooseArrowSide(SphereData::ArrowSide chosen) override { side = chosen; }

  void setFields(int first, const std::vector<std::string>& texts) {
    fields.clear();
    for (std::size_t i = 0; i < texts.size(); ++i) fields[first + static_cast<int>(i)] = texts[i];
  }
};

// One for each kind, indexed by it.
FakeSheet sheets[kChargeKinds];
ChargeSheet* fakeAccessor(ChargeKind kind) { return &sheets[static_cast<int>(kind)]; }

class RecordingFactories : public ChargeFactories {
public:
  std::vector<std::string> calls;
  void MakePoint() override { calls.push_back("Point"); }
  void MakeLine() override { calls.push_back("Line"); }
  void MakePlane() override { calls.push_back("Plane"); }
  void MakeSphere() override { calls.push_back("Sphere"); }
  void MakeRing() override { calls.push_back("Ring"); }
  void MakeCylinder() override { calls.push_back("Cylinder"); }
};

class Exchange : public ::testing::Test {
protected:
  void SetUp() override { SetChargeSheetAccessor(&fakeAccessor); }
  void TearDown() override {
    SetChargeSheetAccessor(nullptr);
    SetChargeFactories(nullptr);
  }
  FakeSheet& sheet(ChargeKind kind) { return sheets[static_cast<int>(kind)]; }
};

}  // namespace

TEST_F(Exchange, LineRoundTripsItsTextsAndGridFlag) {
  FakeSheet& s = sheet(ChargeKind::Line);
  s.setFields(LineField::First, {"10", "20", "30", "0", "1", "0", "5", "400", "7"});
  s.grid = false;
  auto line = New<LineCharge>(5.0, 7, Vector3D(10, 20, 30), Vector3D(0, 400, 0));
  EXPECT_EQ(line->Creator, &s);
  line->ImportData();
  EXPECT_EQ(line->InputData,
            (std::vector<std::string>{"10", "20", "30", "0", "1", "0", "5", "400", "7", "F"}));

  s.setFields(LineField::First, {"a", "b", "c", "d", "e", "f", "g", "h", "i"});
  s.grid = true;
  line->ExportData();
  for (int i = LineField::First; i <= LineField::Last; ++i) {
    EXPECT_EQ(s.fields[i], line->InputData[static_cast<std::size_t>(i - LineField::First)]) << i;
  }
  EXPECT_FALSE(s.grid);
}

TEST_F(Exchange, PlaneAndCylinderKeepTheirPopupIndex) {
  FakeSheet& p = sheet(ChargeKind::Plane);
  p.setFields(PlaneField::First, {"4", "1", "2", "3", "-2.5", "side?"});
  p.grid = true;
  p.popup = 2;
  auto plane = New<PlaneCharge>(-2.5, 4, Vector3D(1, 2, 3), 100.0, 2);
  plane->ImportData();
  EXPECT_EQ(plane->InputData, (std::vector<std::string>{"4", "1", "2", "3", "-2.5", "side?", "T", "2"}));
  p.setFields(PlaneField::First, {"", "", "", "", "", ""});
  p.grid = false;
  p.popup = 0;
  plane->ExportData();
  EXPECT_EQ(p.fields[PlaneField::Side], "side?");  // texts go back exactly as typed
  EXPECT_TRUE(p.grid);
  EXPECT_EQ(p.popup, 2);

  FakeSheet& c = sheet(ChargeKind::Cylinder);
  c.setFields(CylinderField::First, {"0", "0", "0", "1", "1000", "3", "50"});
  c.popup = 1;
  Vector3D centre, axis(0, 1, 0);
  auto cyl = New<CylinderCharge>(1.0, 3, centre, axis, 1000.0, 50.0);
  cyl->ImportData();
  ASSERT_EQ(cyl->InputData.size(), 9u);
  EXPECT_EQ(cyl->InputData[7], "F");
  EXPECT_EQ(cyl->InputData[8], "1");
  c.popup = 2;
  cyl->ExportData();
  EXPECT_EQ(c.popup, 1);
}

TEST_F(Exchange, PointStoresFourTextsAndNoGridFlag) {
  FakeSheet& s = sheet(ChargeKind::Point);
  s.setFields(PointField::First, {"1", "2", "3", "-4"});
  s.grid = true;
  auto point = New<SingleCharge>(-4.0, 1.0, 2.0, 3.0);
  point->ImportData();
  EXPECT_EQ(point->InputData, (std::vector<std::string>{"1", "2", "3", "-4"}));
  s.setFields(PointField::First, {"", "", "", ""});
  s.grid = false;
  point->ExportData();
  EXPECT_EQ(s.fields[PointField::Charge], "-4");
  EXPECT_FALSE(s.grid);  // untouched
}

TEST_F(Exchange, ShortStoredTextsLeaveTheRestOfTheSheetAsItIs) {
  FakeSheet& s = sheet(ChargeKind::Ring);
  s.setFields(RingField::First, {"a", "b", "c", "d", "e", "f", "g", "h", "i"});
  s.grid = true;
  auto ring = New<RingCharge>(1.0, Vector3D(), 10.0, Vector3D(0, 0, 1), 4);
  ring->InputData = {"x", "y"};
  ASSERT_NO_THROW(ring->ExportData());
  EXPECT_EQ(s.fields[RingField::CenterX], "x");
  EXPECT_EQ(s.fields[RingField::CenterY], "y");
  EXPECT_EQ(s.fields[RingField::CenterZ], "c");
  EXPECT_EQ(s.fields[RingField::Last], "i");
  EXPECT_TRUE(s.grid);

  FakeSheet& p = sheet(ChargeKind::Plane);
  p.setFields(PlaneField::First, {"1", "2", "3", "4", "5", "6"});
  p.popup = 1;
  auto plane = New<PlaneCharge>(1.0, 2, Vector3D(), 10.0, 0);
  plane->InputData = {"9", "9", "9", "9", "9", "9", "T"};  // no popup entry
  ASSERT_NO_THROW(plane->ExportData());
  EXPECT_TRUE(p.grid);
  EXPECT_EQ(p.popup, 1);
}

TEST_F(Exchange, DoneFlagAndCreateReachTheSheetAndTheFactory) {
  RecordingFactories factories;
  SetChargeFactories(&factories);
  Vector3D c, a(0, 0, 1);
  const std::vector<std::pair<std::shared_ptr<ChargedObject>, ChargeKind>> objects = {
      {New<SingleCharge>(1.0, 0, 0, 0), ChargeKind::Point},
      {New<LineCharge>(1.0, 2, Vector3D(), Vector3D(1, 0, 0)), ChargeKind::Line},
      {New<PlaneCharge>(1.0, 2, Vector3D(), 10.0, 0), ChargeKind::Plane},
      {New<SphereCharge>(1.0, Vector3D(), 10.0), ChargeKind::Sphere},
      {New<RingCharge>(1.0, Vector3D(), 10.0, Vector3D(0, 0, 1), 4), ChargeKind::Ring},
      {New<CylinderCharge>(1.0, 2, c, a, 10.0, 1.0), ChargeKind::Cylinder},
  };
  for (const auto& [object, kind] : objects) {
    EXPECT_EQ(object->Kind(), kind) << object->Name;
    sheet(kind).done = true;
    EXPECT_TRUE(object->CreatorDoneFlag()) << object->Name;
    sheet(kind).done = false;
    EXPECT_FALSE(object->CreatorDoneFlag()) << object->Name;
    object->Create();
    EXPECT_EQ(factories.calls.back(), object->Name);
  }
  EXPECT_EQ(factories.calls.size(), 6u);

  // Without an application to build it, Create reports a nil object.
  SetChargeFactories(nullptr);
  EXPECT_THROW(objects[0].first->Create(), NilObjectException);
}

TEST_F(Exchange, AnObjectOfNoKindExchangesNothing) {
  RecordingFactories factories;
  SetChargeFactories(&factories);
  for (FakeSheet& s : sheets) {
    s.setFields(0, {"a", "b", "c"});
    s.done = true;
  }
  auto plain = std::make_shared<ChargedObject>();
  EXPECT_FALSE(plain->Kind().has_value());
  EXPECT_FALSE(plain->CreatorDoneFlag());
  plain->ImportData();
  EXPECT_TRUE(plain->InputData.empty());
  plain->InputData = {"x", "y", "z"};
  plain->ExportData();
  for (FakeSheet& s : sheets) EXPECT_EQ(s.fields[0], "a");
  plain->Create();
  EXPECT_TRUE(factories.calls.empty());
  for (FakeSheet& s : sheets) s.done = false;
}
