#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "charges/charge_kinds.h"
#include "charges/sheet_link.h"
#include "framework/runtime/construct.h"
#include "sheet_test_support.h"

namespace {

void setTexts(SheetWindow& sheet, int first, const std::vector<std::string>& texts) {
  for (std::size_t i = 0; i < texts.size(); ++i) sheet.SetFieldText(first + static_cast<int>(i), texts[i]);
}

std::vector<std::string> textsOf(const SheetWindow& sheet, int first) {
  std::vector<std::string> texts;
  for (int i = first; sheet.HasField(i); ++i) texts.push_back(sheet.FieldText(i));
  return texts;
}

}  // namespace

class SheetExchange : public FreshSheetsTest {};

TEST_F(SheetExchange, AccessorReachesEachKindsSharedSheet) {
  EXPECT_EQ(SheetFor(ChargeKind::Point), &SingleSheet::Instance());
  EXPECT_EQ(SheetFor(ChargeKind::Line), &LineSheet::Instance());
  EXPECT_EQ(SheetFor(ChargeKind::Plane), &PlaneSheet::Instance());
  EXPECT_EQ(SheetFor(ChargeKind::Sphere), &SphereSheet::Instance());
  EXPECT_EQ(SheetFor(ChargeKind::Ring), &RingSheet::Instance());
  EXPECT_EQ(SheetFor(ChargeKind::Cylinder), &CylinderSheet::Instance());
  // The main window shows the sheet it gets through the link, modally within itself.
  RingSheet& ring = RingSheet::Instance();
  bool modal = false;
  const ShowResult shown = RunShown(ring, [&] {
    modal = ring.IsShownModally();
    CancelButtonOf(ring).click();
  });
  EXPECT_TRUE(shown.active && shown.returned && modal);
  EXPECT_FALSE(shown.leftShown);

  ChargeSheet& line = *SheetFor(ChargeKind::Line);
  EXPECT_FALSE(line.HasField(LineField::First - 1));
  for (int i = LineField::First; i <= LineField::Last; ++i) EXPECT_TRUE(line.HasField(i)) << i;
  EXPECT_FALSE(line.HasField(LineField::Last + 1));
  EXPECT_THROW((void)line.FieldText(LineField::First - 1), NilObjectException);
  EXPECT_THROW(line.SetFieldText(LineField::Last + 1, "x"), NilObjectException);

  // Popups only in the plane and cylinder sheets; no grid box in the point sheet.
  EXPECT_EQ(SheetFor(ChargeKind::Line)->PopupIndex(), -1);
  SheetFor(ChargeKind::Point)->SetGridValue(true);
  EXPECT_FALSE(SheetFor(ChargeKind::Point)->GridValue());
  ChargeSheet& cylinder = *SheetFor(ChargeKind::Cylinder);
  cylinder.SetPopupIndex(2);
  EXPECT_EQ(CylinderSheet::Instance().AxisMenu().ListIndex(), 2);
  EXPECT_EQ(cylinder.PopupIndex(), 2);
  cylinder.SetPopupIndex(0);
}

TEST_F(SheetExchange, LineTextsAndGridFlagRoundTrip) {
  LineSheet& sheet = LineSheet::Instance();
  const std::vector<std::string> made = {"10", "20", "30", "0", "1", "0", "5", "400", "7"};
  setTexts(sheet, LineField::First, made);
  sheet.SetGridValue(false);

  auto line = New<LineCharge>(5.0, 7, Vector3D(10, 20, 30), Vector3D(0, 400, 0));
  line->ImportData();
  std::vector<std::string> stored = made;
  stored.push_back("F");
  EXPECT_EQ(line->InputData, stored);
  EXPECT_EQ(line->Creator, &sheet);

  // The sheet is used for something else, then the line is edited.
  setTexts(sheet, LineField::First, {"a", "b", "c", "d", "e", "f", "g", "h", "i"});
  sheet.SetGridValue(true);
  line->ExportData();
  EXPECT_EQ(textsOf(sheet, LineField::First), made);
  EXPECT_FALSE(sheet.CBGrid()->Value());

  // The edit's outcome is the sheet's.
  RunShown(sheet, [&] { DoneButtonOf(sheet).click(); });
  EXPECT_TRUE(line->CreatorDoneFlag());
  RunShown(sheet, [&] { CancelButtonOf(sheet).click(); });
  EXPECT_FALSE(line->CreatorDoneFlag());
  // A cancelled edit leaves the exported texts for the next new line.
  EXPECT_EQ(textsOf(sheet, LineField::First), made);
}

TEST_F(SheetExchange, PlanePopupIndexAndUnconvertedTextsRoundTrip) {
  PlaneSheet& sheet = PlaneSheet::Instance();
  const std::vector<std::string> made = {"3", "0", "1e2", "-5", "fifty", "1000"};
  setTexts(sheet, PlaneField::First, made);
  sheet.SetGridValue(true);
  sheet.PUAxis().SetListIndex(2);

  auto plane = New<PlaneCharge>(50.0, 3, Vector3D(0, 100, -5), 1000.0, 2);
  plane->ImportData();
  std::vector<std::string> stored = made;
  stored.push_back("T");
  stored.push_back("2");
  EXPECT_EQ(plane->InputData, stored);

  setTexts(sheet, PlaneField::First, {"", "", "", "", "", ""});
  sheet.SetGridValue(false);
  sheet.PUAxis().SetListIndex(0);
  plane->ExportData();
  EXPECT_EQ(textsOf(sheet, PlaneField::First), made);
  EXPECT_TRUE(sheet.CBGrid()->Value());
  EXPECT_EQ(sheet.PUAxis().ListIndex(), 2);
  EXPECT_EQ(sheet.PUAxis().currentText().toStdString(), "yz plane");
}

// The sphere's choice as the charge model and the factory reach it: a choice
// turns its own button on and the others off and reads back as it was made;
// the other sheets have no such buttons, read Both and ignore a choice.
TEST_F(SheetExchange, SphereArrowSideIsChosenAndReadThroughItsButtons) {
  using Side = SphereData::ArrowSide;
  SphereSheet& sphere = SphereSheet::Instance();
  ChargeSheet& sheet = *SheetFor(ChargeKind::Sphere);
  const struct {
    Side side;
    bool inside, outside, both;
  } cases[] = {
      {Side::Inside, true, false, false},
      {Side::Outside, false, true, false},
      {Side::Both, false, false, true},
  };
  for (const auto& c : cases) {
    sheet.ChooseArrowSide(c.side);
    EXPECT_EQ(sphere.Inside().Value(), c.inside) << static_cast<int>(c.side);
    EXPECT_EQ(sphere.Outside().Value(), c.outside) << static_cast<int>(c.side);
    EXPECT_EQ(sphere.Both().Value(), c.both) << static_cast<int>(c.side);
    EXPECT_EQ(sheet.ArrowSideChosen(), c.side);
  }
  // A button turned on by hand is read as its side.
  sphere.Outside().SetValue(true);
  EXPECT_EQ(sheet.ArrowSideChosen(), Side::Outside);
  sheet.ChooseArrowSide(Side::Both);

  for (ChargeKind kind :
       {ChargeKind::Point, ChargeKind::Line, ChargeKind::Plane, ChargeKind::Ring, ChargeKind::Cylinder}) {
    ChargeSheet& other = *SheetFor(kind);
    other.ChooseArrowSide(Side::Inside);
    EXPECT_EQ(other.ArrowSideChosen(), Side::Both) << static_cast<int>(kind);
  }
  EXPECT_EQ(sheet.ArrowSideChosen(), Side::Both);
}

TEST_F(SheetExchange, PointStoresFourTextsAndTouchesOnlyItsFields) {
  SingleSheet& sheet = SingleSheet::Instance();
  setTexts(sheet, PointField::First, {"1", "2", "3", "-4"});
  auto point = New<SingleCharge>(-4.0, 1.0, 2.0, 3.0);
  point->ImportData();
  EXPECT_EQ(point->InputData, (std::vector<std::string>{"1", "2", "3", "-4"}));
  setTexts(sheet, PointField::First, {"9", "9", "9", "9"});
  point->ExportData();
  EXPECT_EQ(textsOf(sheet, PointField::First), (std::vector<std::string>{"1", "2", "3", "-4"}));
}
