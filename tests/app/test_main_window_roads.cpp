// The main window's roads driven through its widgets: new objects through
// their sheets, selection in the list and in the view, edit, delete, reset,
// dot matrix, test dot, and the refusal of objects that cannot be built.

#include "app/charge_limits.h"
#include "app_fixture.h"
#include "charges/charge_kinds.h"
#include "charges/charged_object.h"
#include "charges/math.h"
#include "charges/sheet_fields.h"
#include "charges/surface_data.h"
#include "framework/3d/scene_renderer.h"
#include "framework/runtime/construct.h"
#include "scene/pd_box.h"
#include "scene/pd_round_arrow.h"
#include "x_input.h"

#include <QEventLoop>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <set>
#include <tuple>

namespace {

// The sheet's button with that caption.
PushButton* SheetButton(Window& sheet, const std::string& caption) {
  for (int i = 0; i < sheet.ControlCount(); ++i) {
    auto* b = dynamic_cast<PushButton*>(sheet.ControlAt(i));
    if (b != nullptr && b->Caption() == caption) return b;
  }
  return nullptr;
}

Window& SheetWindowOf(ChargeKind kind) { return Deref(dynamic_cast<Window*>(SheetFor(kind))); }

}  // namespace

class RoadTest : public AppTest {
protected:
  // Presses a main-window button that shows a sheet modally; once the sheet is
  // up, `fill` may change its fields, then its Done (or Cancel) is pressed.
  void ThroughSheet(const char* button, ChargeKind kind, bool done = true,
                    const std::function<void(ChargeSheet&)>& fill = {}) {
    Window& sheet = SheetWindowOf(kind);
    bool pressed = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (pressed || !sheet.isVisible() || !sheet.IsShownModally()) return;
      pressed = true;
      if (fill) fill(Deref(SheetFor(kind)));
      QTest::mouseClick(&Deref(SheetButton(sheet, done ? "Done" : "Cancel")), Qt::LeftButton);
    });
    poll.start();
    QTest::mouseClick(&C<PushButton>(button), Qt::LeftButton);
    poll.stop();
    EXPECT_TRUE(pressed) << button;
    QApplication::processEvents();
  }
  void Add(ChargeKind kind, const std::function<void(ChargeSheet&)>& fill = {}) {
    static const char* buttons[] = {"PBPoint", "PBLine", "PBPlane", "PBSphere", "PBRing", "PBCylinder"};
    ThroughSheet(buttons[static_cast<int>(kind)], kind, true, fill);
  }

  void ClickRow(int row) {
    auto& list = C<ListBox>("ObjectList");
    const QRect r = list.visualItemRect(list.item(row));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, r.center());
    QApplication::processEvents();
  }

  // Waits as the program waits between events, in an event loop, until the
  // condition holds; false when it has not within the time.
  static bool IdleUntil(const std::function<bool()>& done, int withinMs = 10000) {
    QEventLoop loop;
    bool met = false;
    QTimer check;
    check.setInterval(10);
    QObject::connect(&check, &QTimer::timeout, [&] {
      if (done()) {
        met = true;
        loop.quit();
      }
    });
    QTimer::singleShot(withinMs, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    return met;
  }
  static QPoint Centre(const QWidget& widget) { return widget.mapToGlobal(widget.rect().center()); }

  static Color SphereColour(const ChargedObject& co, std::size_t i = 0) {
    return Deref(co.ChargeList.at(i)->GraphRep).myColor;
  }
  // Scene objects of a class now in the view.
  template <class T>
  std::vector<std::shared_ptr<T>> InView() const {
    std::vector<std::shared_ptr<T>> found;
    for (const auto& e : view->Objects()->Items()) {
      if (auto t = std::dynamic_pointer_cast<T>(e)) found.push_back(t);
    }
    return found;
  }
  [[nodiscard]] int Arrows() const { return static_cast<int>(InView<PDRoundArrow>().size()); }
  void ExpectAligned() {
    EXPECT_EQ(w->ChrgObjList.size(), w->SurfaceList.size());
    ASSERT_EQ(static_cast<std::size_t>(C<ListBox>("ObjectList").RowCount()), w->ChrgObjList.size());
    for (std::size_t i = 0; i < w->ChrgObjList.size(); ++i) {
      EXPECT_EQ(C<ListBox>("ObjectList").Cell(static_cast<int>(i)), w->ChrgObjList[i]->Name);
    }
  }
};

TEST_F(RoadTest, EachKindThroughItsSheetBecomesTheSelectedLastRowWithItsField) {
  struct Expect {
    ChargeKind kind;
    const char* name;
    std::size_t charges;
  };
  const std::vector<Expect> kinds = {{ChargeKind::Point, "Point", 1},     {ChargeKind::Line, "Line", 100},
                                     {ChargeKind::Plane, "Plane", 400},   {ChargeKind::Sphere, "Sphere", 60},
                                     {ChargeKind::Ring, "Ring", 20},      {ChargeKind::Cylinder, "Cylinder", 240}};
  for (std::size_t n = 0; n < kinds.size(); ++n) {
    Add(kinds[n].kind);
    SCOPED_TRACE(kinds[n].name);
    ASSERT_EQ(w->ChrgObjList.size(), n + 1);
    ExpectAligned();
    const auto& added = w->ChrgObjList.back();
    EXPECT_EQ(added->Name, kinds[n].name);
    EXPECT_EQ(added->ChargeList.size(), kinds[n].charges);
    EXPECT_EQ(w->SelectedObject, added);
    EXPECT_EQ(C<ListBox>("ObjectList").ListIndex(), static_cast<int>(n));
    // The new object dark, the earlier ones in their normal red.
    EXPECT_EQ(SphereColour(*added), kPositiveSelectedColor);
    EXPECT_EQ(SphereColour(*added, added->ChargeList.size() - 1), kPositiveSelectedColor);
    for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(SphereColour(*w->ChrgObjList[i]), kPositiveColor);
    EXPECT_GT(Arrows(), 0);
    EXPECT_FALSE(added->InputData.empty());
  }
  // Bodies of the right kinds; the point's is a small sphere, the sphere's keeps "Both".
  EXPECT_NE(std::dynamic_pointer_cast<SphereData>(w->SurfaceList[0]), nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<SphereData>(w->SurfaceList[0])->radius, 2.0);
  EXPECT_NE(std::dynamic_pointer_cast<LineData>(w->SurfaceList[1]), nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<LineData>(w->SurfaceList[1])->myVec, Vector3D(1000, 0, 0));
  EXPECT_NE(std::dynamic_pointer_cast<PlaneData>(w->SurfaceList[2]), nullptr);
  EXPECT_EQ(std::dynamic_pointer_cast<SphereData>(w->SurfaceList[3])->ShowVectors, SphereData::ArrowSide::Both);
  EXPECT_NE(std::dynamic_pointer_cast<RingData>(w->SurfaceList[4]), nullptr);
  const auto cylinder = std::dynamic_pointer_cast<CylinderData>(w->SurfaceList[5]);
  ASSERT_NE(cylinder, nullptr);
  EXPECT_EQ(cylinder->center, Vector3D(0, 0, 0));  // as typed, not as the charge moved it
  EXPECT_EQ(cylinder->normal, Vector3D(1, 0, 0));

  // Every arrow is yellow, between the drawable lengths, and is exactly the
  // scaled field summed object by object at its lattice point.
  for (const auto& arrow : InView<PDRoundArrow>()) {
    Vector3D E;
    for (const auto& co : w->ChrgObjList) E.Add(co->VoltixAt(arrow->pos.value()));
    E.MultiplyBy(w->EScale);
    EXPECT_EQ(arrow->axis.value(), E);
    EXPECT_EQ(Deref(arrow->cone).myColor, 0xFFFF00u);
    EXPECT_EQ(Deref(arrow->cylinder).myColor, 0xFFFF00u);
    const double len = arrow->axis.value().Length();
    EXPECT_GT(len, 5.0);
    EXPECT_LT(len, 500.0);
  }
  QApplication::processEvents();
  w->grab().save("/tmp/voltix_six_objects.png");
  EXPECT_TRUE(messages.empty());
}

TEST_F(RoadTest, EditReplacesTheObjectAtTheEndAndCancelChangesNothing) {
  Add(ChargeKind::Point);
  Add(ChargeKind::Line);
  ASSERT_EQ(w->ChrgObjList.size(), 2u);
  ClickRow(0);
  const auto point = w->ChrgObjList[0];
  const auto line = w->ChrgObjList[1];
  ASSERT_EQ(w->SelectedObject, point);
  EXPECT_EQ(SphereColour(*point), kPositiveSelectedColor);
  EXPECT_EQ(SphereColour(*line), kPositiveColor);

  // Cancel: the same objects, bodies and rows.
  const auto bodies = w->SurfaceList;
  ThroughSheet("Edit", ChargeKind::Point, false, [](ChargeSheet& sheet) {
    EXPECT_EQ(sheet.FieldText(PointField::Charge), "1");  // the object's own texts came back
    sheet.SetFieldText(PointField::Charge, "-7");
  });
  EXPECT_EQ(w->ChrgObjList, (std::vector<std::shared_ptr<ChargedObject>>{point, line}));
  EXPECT_EQ(w->SurfaceList, bodies);
  EXPECT_EQ(w->SelectedObject, point);
  ExpectAligned();

  // Done: the point is rebuilt from the sheet and moves to the end, selected.
  ThroughSheet("Edit", ChargeKind::Point, true, [](ChargeSheet& sheet) {
    EXPECT_EQ(sheet.FieldText(PointField::Charge), "1");
    sheet.SetFieldText(PointField::Charge, "-2");
    sheet.SetFieldText(PointField::X, "40");
  });
  ASSERT_EQ(w->ChrgObjList.size(), 2u);
  ExpectAligned();
  EXPECT_EQ(w->ChrgObjList[0], line);
  const auto edited = w->ChrgObjList[1];
  EXPECT_NE(edited, point);
  EXPECT_EQ(edited->Name, "Point");
  EXPECT_EQ(edited->ChargeList[0]->Charge, -2.0);
  EXPECT_EQ(edited->ChargeList[0]->Position, Vector3D(40, 0, 0));
  EXPECT_EQ(w->SelectedObject, edited);
  EXPECT_EQ(C<ListBox>("ObjectList").ListIndex(), 1);
  EXPECT_EQ(SphereColour(*edited), kNegativeSelectedColor);
  // The replaced object let go of its charges, as a deleted one does.
  EXPECT_TRUE(point->ChargeList.empty());
}

TEST_F(RoadTest, ClickingAChargeInTheViewSelectsItsRowThenDeleteAndReset) {
  Add(ChargeKind::Point);  // at the origin, in the middle of the view
  Add(ChargeKind::Ring);   // around it, away from the line of sight
  const auto point = w->ChrgObjList[0];
  const auto ring = w->ChrgObjList[1];
  ASSERT_EQ(w->SelectedObject, ring);
  EXPECT_EQ(SphereColour(*point), kPositiveColor);

  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(view->width() / 2, view->height() / 2));
  QApplication::processEvents();
  EXPECT_EQ(w->SelectedObject, point);
  EXPECT_TRUE(C<ListBox>("ObjectList").Selected(0));
  EXPECT_FALSE(C<ListBox>("ObjectList").Selected(1));
  EXPECT_EQ(SphereColour(*point), kPositiveSelectedColor);
  EXPECT_EQ(SphereColour(*ring), kPositiveColor);

  // A click on the empty sky keeps the selection.
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(10, 10), 1000);
  QApplication::processEvents();
  EXPECT_EQ(w->SelectedObject, point);

  QTest::mouseClick(&C<PushButton>("DeleteButton"), Qt::LeftButton);
  QApplication::processEvents();
  ASSERT_EQ(w->ChrgObjList.size(), 1u);
  ExpectAligned();
  EXPECT_EQ(w->ChrgObjList[0], ring);
  EXPECT_EQ(w->SelectedObject, nullptr);
  EXPECT_EQ(SphereColour(*ring), kPositiveColor);
  // Delete with nothing selected does nothing; neither does a click reported
  // for a row past the end.
  QTest::mouseClick(&C<PushButton>("DeleteButton"), Qt::LeftButton);
  EXPECT_EQ(w->ChrgObjList.size(), 1u);
  EXPECT_FALSE(w->ObjectList_CellClick(1, 0, 0, 0));
  EXPECT_EQ(w->SelectedObject, nullptr);

  // Reset: everything back to the start, but the selection, which is unlisted.
  ClickRow(0);
  C<Slider>("SLEScale").SetValue(9);
  C<Slider>("SLLat").SetValue(40);
  C<Slider>("SLZoom").SetValue(50);
  C<PopupMenu>("PMShow").SetListIndex(3);
  C<Slider>("SLScan").SetValue(-2);
  QTest::mouseClick(&C<CheckBox>("CBTest"), Qt::LeftButton);
  C<EditField>("EFX").SetText("70");
  ASSERT_NE(w->TestDot, nullptr);
  QTest::mouseClick(&C<PushButton>("PBReset"), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(w->ChrgObjList.empty());
  EXPECT_TRUE(w->SurfaceList.empty());
  EXPECT_EQ(C<ListBox>("ObjectList").RowCount(), 0);
  EXPECT_EQ(ViewObjects(), 3);
  EXPECT_EQ(w->EScale, 150000.0);
  EXPECT_EQ(view->Latitude, 10.0);
  EXPECT_EQ(view->ZoomFactor, 1.0);
  EXPECT_EQ(C<PopupMenu>("PMShow").ListIndex(), 0);
  EXPECT_EQ(C<Slider>("SLScan").Value(), 0);
  EXPECT_FALSE(C<Slider>("SLScan").isEnabled());
  EXPECT_EQ(C<EditField>("EFX").Text(), "0");
  EXPECT_FALSE(C<EditField>("EFX").isEnabled());
  EXPECT_EQ(w->TestDot, nullptr);
  EXPECT_FALSE(w->Resetting);
  EXPECT_EQ(w->SelectedObject, ring);
  // Delete and Edit now find nothing listed.
  QTest::mouseClick(&C<PushButton>("DeleteButton"), Qt::LeftButton);
  QTest::mouseClick(&C<PushButton>("Edit"), Qt::LeftButton);
  EXPECT_EQ(ViewObjects(), 3);
}

TEST_F(RoadTest, DotMatrixMarksTheEvaluatedPlaneAndScanMovesIt) {
  auto& show = C<PopupMenu>("PMShow");
  auto& scan = C<Slider>("SLScan");
  show.SetListIndex(1);  // "xz plane"
  EXPECT_TRUE(scan.isEnabled());
  scan.SetValue(2);
  QTest::mouseClick(&C<CheckBox>("CBDotMatrix"), Qt::LeftButton);
  Settle();
  ASSERT_EQ(w->Matrix.size(), 49u);
  for (const auto& box : w->Matrix) {
    EXPECT_EQ(box->pos.value().Y, 100.0);
    EXPECT_EQ(box->myColor, 0x00FF00u);
  }
  EXPECT_EQ(ViewObjects(), 3 + 49);
  // The field pass draws the same boxes.
  w->CalcVoltix();
  EXPECT_EQ(w->Matrix.size(), 49u);
  EXPECT_EQ(ViewObjects(), 3 + 49);
  scan.SetValue(-1);
  Settle();
  ASSERT_EQ(w->Matrix.size(), 49u);
  EXPECT_EQ(w->Matrix.front()->pos.value().Y, -50.0);

  QTest::mouseClick(&C<CheckBox>("CBDotMatrix"), Qt::LeftButton);
  Settle();
  EXPECT_TRUE(w->Matrix.empty());
  EXPECT_EQ(ViewObjects(), 3);

  // "All" disables Scan at 0; a point charge at the origin takes out the one
  // lattice point nearer than 22 to it.
  show.SetListIndex(0);
  EXPECT_EQ(scan.Value(), 0);
  EXPECT_FALSE(scan.isEnabled());
  Add(ChargeKind::Point);
  QTest::mouseClick(&C<CheckBox>("CBDotMatrix"), Qt::LeftButton);
  Settle();
  ASSERT_EQ(w->Matrix.size(), 342u);
  EXPECT_EQ(w->Matrix.front()->pos.value(), Vector3D(-150, -150, -150));
  EXPECT_EQ(w->Matrix.back()->pos.value(), Vector3D(150, 150, 150));
  for (const auto& box : w->Matrix) EXPECT_NE(box->pos.value(), Vector3D(0, 0, 0));
  // "None": no box and no arrow, the charge still drawn.
  show.SetListIndex(4);
  Settle();
  EXPECT_TRUE(w->Matrix.empty());
  EXPECT_EQ(Arrows(), 0);
  EXPECT_EQ(ViewObjects(), 3 + 1);
}

TEST_F(RoadTest, TestDotStepsByTenShowsItsArrowAndBeepsNearACharge) {
  Add(ChargeKind::Point);  // charge 1 at the origin
  auto& box = C<CheckBox>("CBTest");
  QTest::mouseClick(&box, Qt::LeftButton);
  for (const char* name : {"EFX", "EFY", "EFZ", "XArrows", "YArrows", "ZArrows"}) {
    EXPECT_TRUE(w->Control(name)->isEnabled()) << name;
  }
  // On the charge itself the field is no number: neither arrow nor beep.
  ASSERT_NE(w->TestDot, nullptr);
  EXPECT_EQ(w->TestField, nullptr);
  EXPECT_EQ(beeps, 0);

  auto& efx = C<EditField>("EFX");
  efx.selectAll();
  QTest::keyClicks(&efx, "100");
  EXPECT_EQ(beeps, 2);  // typing passed 1 and 10, very near the charge
  beeps = 0;
  EXPECT_EQ(w->TestDot->pos.value(), Vector3D(100, 0, 0));
  ASSERT_NE(w->TestField, nullptr);
  EXPECT_NEAR(w->TestField->axis.value().X, 15.0, 1e-9);  // 150000 / 100²

  auto& xs = C<LittleArrows>("XArrows");
  QTest::mouseClick(xs.UpButton(), Qt::LeftButton);
  EXPECT_EQ(efx.Text(), "110");
  EXPECT_EQ(w->TestDot->pos.value().X, 110.0);
  QTest::mouseClick(xs.DownButton(), Qt::LeftButton);
  QTest::mouseClick(xs.DownButton(), Qt::LeftButton);
  EXPECT_EQ(efx.Text(), "90");
  C<EditField>("EFZ").SetText("2.5");
  QTest::mouseClick(C<LittleArrows>("ZArrows").UpButton(), Qt::LeftButton);
  EXPECT_EQ(C<EditField>("EFZ").Text(), "12.5");
  QTest::mouseClick(C<LittleArrows>("ZArrows").DownButton(), Qt::LeftButton);
  QTest::mouseClick(C<LittleArrows>("ZArrows").DownButton(), Qt::LeftButton);
  EXPECT_EQ(C<EditField>("EFZ").Text(), "-7.5");
  EXPECT_EQ(beeps, 0);

  // Very near the charge the field is too strong to draw: a beep instead.
  efx.SetText("10");
  C<EditField>("EFZ").SetText("0");
  EXPECT_GE(beeps, 1);
  EXPECT_NE(w->TestDot, nullptr);
  EXPECT_EQ(w->TestField, nullptr);

  // Off: the dot and arrow leave the view and the fields are disabled.
  const int before = ViewObjects();
  QTest::mouseClick(&box, Qt::LeftButton);
  EXPECT_EQ(w->TestDot, nullptr);
  EXPECT_EQ(ViewObjects(), before - 1);
  EXPECT_FALSE(efx.isEnabled());
}

TEST_F(RoadTest, ObjectsThatCannotBeBuiltAreRefusedWithNothingChanged) {
  Add(ChargeKind::Ring);
  const auto ring = w->ChrgObjList[0];
  const int objects = ViewObjects();

  // A plane of 100000 per side would hold 10^10 point charges.
  Add(ChargeKind::Plane, [](ChargeSheet& sheet) { sheet.SetFieldText(PlaneField::Count, "100000"); });
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("2,000,000"), std::string::npos) << messages[0];
  EXPECT_EQ(w->ChrgObjList, (std::vector<std::shared_ptr<ChargedObject>>{ring}));
  ExpectAligned();
  EXPECT_EQ(ViewObjects(), objects);
  EXPECT_EQ(SheetFor(ChargeKind::Plane)->FieldText(PlaneField::Count), "100000");  // the texts stay

  // A position too large to draw.
  Add(ChargeKind::Point, [](ChargeSheet& sheet) { sheet.SetFieldText(PointField::X, "1e300"); });
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_NE(messages[1].find("too large"), std::string::npos) << messages[1];
  EXPECT_NE(messages[1].find("-1,000,000 and 1,000,000"), std::string::npos) << messages[1];
  EXPECT_EQ(w->ChrgObjList.size(), 1u);

  // An edit that would be too large keeps the object it was to replace.
  ThroughSheet("Edit", ChargeKind::Ring, true,
               [](ChargeSheet& sheet) { sheet.SetFieldText(RingField::Count, "3000000"); });
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(w->ChrgObjList, (std::vector<std::shared_ptr<ChargedObject>>{ring}));
  ExpectAligned();

  // Text that is no number and huge directions still give a finite line.
  Add(ChargeKind::Line, [](ChargeSheet& sheet) {
    sheet.SetFieldText(LineField::Length, "abc");
    sheet.SetFieldText(LineField::VectorX, "1e308");
    sheet.SetFieldText(LineField::VectorY, "1e308");
    sheet.SetFieldText(LineField::Count, "-5");
  });
  EXPECT_EQ(messages.size(), 3u);
  ASSERT_EQ(w->ChrgObjList.size(), 2u);
  const auto line = std::dynamic_pointer_cast<LineData>(w->SurfaceList[1]);
  ASSERT_NE(line, nullptr);
  EXPECT_TRUE(line->myVec.IsFinite());
  EXPECT_NEAR(line->myVec.Length(), 1000.0, 1e-9);
  EXPECT_EQ(w->ChrgObjList[1]->ChargeList.size(), 1u);  // a count below 1 becomes 1
  for (const auto& pc : w->ChrgObjList[1]->ChargeList) EXPECT_TRUE(pc->Position.IsFinite());
}

TEST_F(RoadTest, ChargesWhoseFieldCannotBeSummedAreRefusedAtTheirLimit) {
  auto point = [](const char* charge) { return [=](ChargeSheet& sh) { sh.SetFieldText(PointField::Charge, charge); }; };
  // Beyond the range of a double the text saturates; refused all the same.
  Add(ChargeKind::Point, point("1e999"));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("charge"), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("-1,000,000,000,000,000 and 1,000,000,000,000,000"), std::string::npos) << messages[0];
  EXPECT_TRUE(w->ChrgObjList.empty());
  ExpectAligned();
  // Just past the limit, either sign, and for a kind that shares it out.
  Add(ChargeKind::Point, point("1.0000000000000002e15"));
  Add(ChargeKind::Point, point("-1.0000000000000002e15"));
  Add(ChargeKind::Sphere, [](ChargeSheet& sh) { sh.SetFieldText(SphereField::Charge, "-2e15"); });
  EXPECT_EQ(messages.size(), 4u);
  EXPECT_TRUE(w->ChrgObjList.empty());

  // The limit itself: accepted, its sphere within the drawable size, and the
  // field of two such charges finite wherever a lattice point is kept.
  Add(ChargeKind::Point, point("1e15"));
  Add(ChargeKind::Line, [](ChargeSheet& sh) {
    sh.SetFieldText(LineField::Charge, "-1e15");
    sh.SetFieldText(LineField::Count, "1");
    sh.SetFieldText(LineField::CenterX, "21");
  });
  ASSERT_EQ(w->ChrgObjList.size(), 2u);
  EXPECT_EQ(messages.size(), 4u);
  EXPECT_LE(PointCharge::SphereSize(w->ChrgObjList[0]->ChargeList[0]->Charge), kMaxSceneValue);
  const std::shared_ptr<PD3DObject> sphere = w->ChrgObjList[0]->ChargeList[0]->GraphRep;
  ASSERT_NE(sphere, nullptr);
  EXPECT_TRUE(std::isfinite(sphere->ComputeBounds(2).Radius));
  w->EScale = 1e12;  // past the largest the slider gives
  Vector3D worst(0, 22, 0);  // just outside the point's body, 21 from the line's charge
  Vector3D E;
  for (const auto& co : w->ChrgObjList) E.Add(co->VoltixAt(worst));
  E.MultiplyBy(w->EScale);
  EXPECT_TRUE(E.IsFinite());
  EXPECT_TRUE(std::isfinite(E.Length()));

  // An edit past the limit keeps the object it was to replace.
  const auto kept = w->ChrgObjList[1];
  ThroughSheet("Edit", ChargeKind::Line, true, [](ChargeSheet& sh) { sh.SetFieldText(LineField::Charge, "1e16"); });
  ASSERT_EQ(messages.size(), 5u);
  EXPECT_EQ(w->ChrgObjList.back(), kept);
  ExpectAligned();
}

TEST_F(RoadTest, NumbersBeyondTheRangeOfADoubleAreTakenByTheirSize) {
  // Far too small: a radius of 0, which becomes the sphere's default.
  const std::string tiny = "0." + std::string(400, '0') + "1";
  Add(ChargeKind::Sphere, [&](ChargeSheet& sh) { sh.SetFieldText(SphereField::Radius, tiny); });
  EXPECT_TRUE(messages.empty());
  ASSERT_EQ(w->ChrgObjList.size(), 1u);
  EXPECT_EQ(std::dynamic_pointer_cast<SphereData>(w->SurfaceList[0])->radius, 300.0);
  // Far too large, though its exponent is negative: refused.
  Add(ChargeKind::Point,
      [](ChargeSheet& sh) { sh.SetFieldText(PointField::Y, "-1" + std::string(400, '0') + "e-50"); });
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("too large"), std::string::npos) << messages[0];
  EXPECT_EQ(w->ChrgObjList.size(), 1u);
}

TEST_F(RoadTest, LatticePointOnAChargeGivesNoArrowAndNoFailure) {
  // A charge with a body that excludes nothing: the origin's sum is no number.
  w->Listed().Append(std::make_shared<SurfaceData>(), New<SingleCharge>(1.0, 0.0, 0.0, 0.0));
  w->CalcVoltix();
  const auto arrows = InView<PDRoundArrow>();
  EXPECT_GT(arrows.size(), 0u);
  for (const auto& a : arrows) {
    EXPECT_NE(a->pos.value(), Vector3D(0, 0, 0));
    EXPECT_TRUE(a->axis.value().IsFinite());
  }
}

TEST_F(RoadTest, HandlersArrivingDuringAFactoryWaitUntilItHasFinished) {
  // Timers fire during the factory's yields; the Delete and the list click
  // they raise must not act on the lists until the factory is done.
  Add(ChargeKind::Point);
  bool sawBusy = false;
  int fired = 0;
  QTimer timer;
  timer.setInterval(1);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (fired++ > 0) return;
    sawBusy = w->Busy();
    w->DeleteButton_Action();
    ExpectAligned();
  });
  SheetFor(ChargeKind::Plane)->SetFieldText(PlaneField::Count, "400");  // 160000 point charges
  timer.start();
  w->MakePlane();
  timer.stop();
  EXPECT_TRUE(sawBusy);
  // The deferred Delete ran after the factory, on the new (selected) plane.
  QTest::qWait(50);
  QApplication::processEvents();
  ExpectAligned();
  ASSERT_EQ(w->ChrgObjList.size(), 1u);
  EXPECT_EQ(w->ChrgObjList[0]->Name, "Point");
  EXPECT_EQ(w->SelectedObject, nullptr);
}

TEST_F(RoadTest, FactoriesApplyTheirDefaultsAndTheSheetsChoices) {
  // Line: direction scaled to the length, against it for a negative length;
  // a charge of 0 becomes 1 (positive outline), a negative one is not positive.
  auto line = [](const char* length, const char* charge) {
    return [=](ChargeSheet& sh) {
      sh.SetFieldText(LineField::VectorX, "3");
      sh.SetFieldText(LineField::VectorY, "4");
      sh.SetFieldText(LineField::VectorZ, "0");
      sh.SetFieldText(LineField::Length, length);
      sh.SetFieldText(LineField::Charge, charge);
      sh.SetGridValue(true);
    };
  };
  Add(ChargeKind::Line, line("10", "0"));
  Add(ChargeKind::Line, line("-10", "-2"));
  const auto l0 = std::dynamic_pointer_cast<LineData>(w->SurfaceList[0]);
  const auto l1 = std::dynamic_pointer_cast<LineData>(w->SurfaceList[1]);
  ASSERT_TRUE(l0 && l1);
  EXPECT_NEAR(l0->myVec.X, 6.0, 1e-12);
  EXPECT_NEAR(l0->myVec.Y, 8.0, 1e-12);
  EXPECT_NEAR(l1->myVec.X, -6.0, 1e-12);
  EXPECT_NEAR(l1->myVec.Y, -8.0, 1e-12);
  ASSERT_FALSE(l0->LineList.empty());
  ASSERT_FALSE(l1->LineList.empty());
  EXPECT_TRUE(l0->LineList[0]->pos);
  EXPECT_FALSE(l1->LineList[0]->pos);
  double q = 0.0;
  for (const auto& pc : w->ChrgObjList[0]->ChargeList) q += pc->Charge;
  EXPECT_NEAR(q, 1.0, 1e-12);

  // Ring: count 3 becomes 4, radius 0 becomes 300, normal 0,0,0 becomes x;
  // a tiny normal is used as typed.
  Add(ChargeKind::Ring, [](ChargeSheet& sh) {
    for (int i : {RingField::NormalX, RingField::NormalY, RingField::NormalZ, RingField::Radius}) {
      sh.SetFieldText(i, "0");
    }
    sh.SetFieldText(RingField::Count, "3");
  });
  Add(ChargeKind::Ring, [](ChargeSheet& sh) {
    sh.SetFieldText(RingField::NormalZ, "0.001");
    sh.SetFieldText(RingField::Count, "4");
  });
  const auto r0 = std::dynamic_pointer_cast<RingData>(w->SurfaceList[2]);
  const auto r1 = std::dynamic_pointer_cast<RingData>(w->SurfaceList[3]);
  ASSERT_TRUE(r0 && r1);
  EXPECT_EQ(w->ChrgObjList[2]->ChargeList.size(), 4u);
  EXPECT_EQ(r0->radius, 300.0);
  EXPECT_EQ(r0->Normal, Vector3D(1, 0, 0));
  EXPECT_EQ(r1->Normal, Vector3D(0, 0, 0.001));
  EXPECT_EQ(w->ChrgObjList[3]->ChargeList.size(), 4u);

  // Sphere: the "Show Field" choice and the radius default.
  auto sphere = [](const char* radio) {
    return [=](ChargeSheet& sh) {
      sh.SetFieldText(SphereField::Radius, "0");
      SheetWindowOf(ChargeKind::Sphere).ControlRef<RadioButton>(radio).SetValue(true);
    };
  };
  Add(ChargeKind::Sphere, sphere("Inside"));
  Add(ChargeKind::Sphere, sphere("Outside"));
  const auto s0 = std::dynamic_pointer_cast<SphereData>(w->SurfaceList[4]);
  const auto s1 = std::dynamic_pointer_cast<SphereData>(w->SurfaceList[5]);
  ASSERT_TRUE(s0 && s1);
  EXPECT_EQ(s0->ShowVectors, SphereData::ArrowSide::Inside);
  EXPECT_EQ(s1->ShowVectors, SphereData::ArrowSide::Outside);
  EXPECT_EQ(s0->radius, 300.0);

  // Cylinder: radius 0 stays, count 0 becomes one ring, "z axis".
  Add(ChargeKind::Cylinder, [](ChargeSheet& sh) {
    sh.SetFieldText(CylinderField::Radius, "0");
    sh.SetFieldText(CylinderField::Rings, "0");
    sh.SetPopupIndex(2);
  });
  const auto c0 = std::dynamic_pointer_cast<CylinderData>(w->SurfaceList[6]);
  ASSERT_TRUE(c0);
  EXPECT_EQ(c0->radius, 0.0);
  EXPECT_EQ(c0->normal, Vector3D(0, 0, 1));
  EXPECT_EQ(w->ChrgObjList[6]->ChargeList.size(), 12u);
  for (const auto& pc : w->ChrgObjList[6]->ChargeList) {
    EXPECT_EQ(pc->Position.X, 0.0);  // on the axis
    EXPECT_EQ(pc->Position.Y, 0.0);
  }

  // Plane: "yz plane" gives the normal x; a count of 0 becomes 1.
  Add(ChargeKind::Plane, [](ChargeSheet& sh) {
    sh.SetFieldText(PlaneField::Count, "0");
    sh.SetPopupIndex(2);
  });
  const auto p0 = std::dynamic_pointer_cast<PlaneData>(w->SurfaceList[7]);
  ASSERT_TRUE(p0);
  EXPECT_EQ(p0->normX, 1.0);
  EXPECT_EQ(p0->normZ, 0.0);
  EXPECT_EQ(w->ChrgObjList[7]->ChargeList.size(), 1u);

  // Point: a charge of 0 stays 0.
  Add(ChargeKind::Point, [](ChargeSheet& sh) { sh.SetFieldText(PointField::Charge, "0"); });
  EXPECT_EQ(w->ChrgObjList[8]->ChargeList[0]->Charge, 0.0);
  ExpectAligned();
  EXPECT_TRUE(messages.empty());
}

TEST_F(RoadTest, TinyAndHugeVectorsTypedIntoTheSheetsBuildWholeObjects) {
  auto ring = [](const char* nx, const char* ny, const char* nz) {
    return [=](ChargeSheet& sh) {
      sh.SetFieldText(RingField::NormalX, nx);
      sh.SetFieldText(RingField::NormalY, ny);
      sh.SetFieldText(RingField::NormalZ, nz);
      sh.SetFieldText(RingField::Radius, "150");
      sh.SetFieldText(RingField::Count, "20");
      sh.SetGridValue(true);
    };
  };
  Add(ChargeKind::Ring, ring("1", "0", "0"));
  Add(ChargeKind::Ring, ring("1e-200", "0", "0"));
  Add(ChargeKind::Ring, ring("1e308", "-1e308", "0"));
  ASSERT_EQ(w->ChrgObjList.size(), 3u);
  EXPECT_TRUE(messages.empty());
  const auto& unit = *w->ChrgObjList[0];
  const auto& tiny = *w->ChrgObjList[1];
  const auto unitBody = std::dynamic_pointer_cast<RingData>(w->SurfaceList[0]);
  const auto tinyBody = std::dynamic_pointer_cast<RingData>(w->SurfaceList[1]);
  ASSERT_TRUE(unitBody && tinyBody);
  // The tiny normal makes the ring of the unit one: charges, field, body, outline.
  ASSERT_EQ(tiny.ChargeList.size(), 20u);
  std::set<std::tuple<double, double, double>> distinct;
  for (std::size_t i = 0; i < 20; ++i) {
    const Vector3D& p = tiny.ChargeList[i]->Position;
    distinct.emplace(p.X, p.Y, p.Z);
    EXPECT_NEAR(Math::DistBetw(p, unit.ChargeList[i]->Position), 0.0, 1e-12) << i;
  }
  EXPECT_EQ(distinct.size(), 20u);
  const Vector3D probe(0, 0, 50);
  const Vector3D expected = unit.VoltixAt(probe);
  ASSERT_GT(expected.Length(), 0.0);
  EXPECT_NEAR(Math::DistBetw(tiny.VoltixAt(probe), expected), 0.0, 1e-12 * expected.Length());
  for (int i = -3; i <= 3; ++i) {
    for (int j = -3; j <= 3; ++j) {
      for (int k = -3; k <= 3; ++k) {
        const Vector3D p(50.0 * i, 50.0 * j, 50.0 * k);
        EXPECT_EQ(tinyBody->DistCheck(p), unitBody->DistCheck(p)) << i << " " << j << " " << k;
      }
    }
  }
  ASSERT_EQ(tinyBody->LineList.size(), 20u);
  for (std::size_t i = 0; i < 20; ++i) {
    EXPECT_NEAR(Math::DistBetw(tinyBody->LineList[i]->v1, unitBody->LineList[i]->v1), 0.0, 1e-12);
    EXPECT_NEAR(Math::DistBetw(tinyBody->LineList[i]->v1, tinyBody->LineList[i]->v2), 2 * 150 * std::sin(std::numbers::pi / 20),
                1e-9);
  }
  // The huge normal keeps its direction: a ring across (1, -1, 0).
  for (const auto& pc : w->ChrgObjList[2]->ChargeList) {
    EXPECT_NEAR(pc->Position.Length(), 150.0, 1e-9);
    EXPECT_NEAR(pc->Position.X - pc->Position.Y, 0.0, 1e-9);
  }

  // A line along a tiny vector: a hundred charges a thousand long.
  Add(ChargeKind::Line, [](ChargeSheet& sh) {
    sh.SetFieldText(LineField::VectorX, "1e-300");
    sh.SetFieldText(LineField::VectorY, "0");
    sh.SetFieldText(LineField::VectorZ, "0");
    sh.SetFieldText(LineField::Length, "1000");
    sh.SetFieldText(LineField::Count, "100");
  });
  ASSERT_EQ(w->ChrgObjList.size(), 4u);
  const auto& line = w->ChrgObjList[3]->ChargeList;
  ASSERT_EQ(line.size(), 100u);
  for (std::size_t i = 0; i < 100; ++i) {
    EXPECT_NEAR(line[i]->Position.X, -500.0 + 1000.0 * static_cast<double>(i) / 99.0, 1e-9) << i;
  }
  EXPECT_EQ(std::dynamic_pointer_cast<LineData>(w->SurfaceList[3])->myVec, Vector3D(1000, 0, 0));

  // A cylinder of a tiny length: twenty rings of twelve distinct charges.
  Add(ChargeKind::Cylinder, [](ChargeSheet& sh) {
    sh.SetFieldText(CylinderField::Length, "1e-300");
    sh.SetFieldText(CylinderField::Rings, "20");
    sh.SetFieldText(CylinderField::Radius, "100");
    sh.SetPopupIndex(0);
    sh.SetGridValue(true);
  });
  ASSERT_EQ(w->ChrgObjList.size(), 5u);
  const auto& cylinder = *w->ChrgObjList[4];
  const auto cylinderBody = w->SurfaceList[4];
  ASSERT_EQ(cylinder.ChargeList.size(), 240u);
  for (std::size_t ring = 0; ring < 20; ++ring) {
    std::set<std::pair<double, double>> around;
    for (std::size_t i = 0; i < 12; ++i) {
      const Vector3D& p = cylinder.ChargeList[12 * ring + i]->Position;
      around.emplace(p.Y, p.Z);
      EXPECT_NEAR(std::hypot(p.Y, p.Z), 100.0, 1e-9);
      EXPECT_TRUE(cylinderBody->DistCheck(p));
    }
    EXPECT_EQ(around.size(), 12u) << "ring " << ring;
  }
  EXPECT_FALSE(cylinderBody->DistCheck(Vector3D(0, 0, 0)));
  EXPECT_FALSE(cylinderBody->DistCheck(Vector3D(21, 100, 0)));
  EXPECT_TRUE(messages.empty());
  ExpectAligned();
}

TEST_F(RoadTest, ANegativeRadiusShowsTheArrowsOfItsMagnitude) {
  // The arrows one object draws alone: where they stand and what they show.
  auto arrowsOf = [this](ChargeKind kind, const std::function<void(ChargeSheet&)>& fill) {
    Add(kind, fill);
    EXPECT_EQ(w->ChrgObjList.size(), 1u);
    std::map<std::tuple<double, double, double>, Vector3D> arrows;
    for (const auto& a : InView<PDRoundArrow>()) arrows[{a->pos->X, a->pos->Y, a->pos->Z}] = a->axis.value();
    QTest::mouseClick(&C<PushButton>("DeleteButton"), Qt::LeftButton);
    EXPECT_TRUE(w->ChrgObjList.empty());
    return arrows;
  };
  auto expectSameArrows = [](const auto& a, const auto& b) {
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [at, field] : a) {
      ASSERT_TRUE(b.count(at));
      EXPECT_NEAR(Math::DistBetw(b.at(at), field), 0.0, 1e-9 * field.Length());
    }
  };
  // Inside a sphere of 100 every lattice point is near the charges or sees
  // too weak a field; one of 130 with more charge shows arrows inside too.
  for (const auto& [radio, radius] : {std::pair{"Both", 100}, {"Inside", 130}, {"Outside", 100}}) {
    auto sphere = [radio](const std::string& r) {
      return [=](ChargeSheet& sh) {
        sh.SetFieldText(SphereField::Charge, std::string(radio) == "Inside" ? "50" : "5");
        sh.SetFieldText(SphereField::Radius, r);
        SheetWindowOf(ChargeKind::Sphere).ControlRef<RadioButton>(radio).SetValue(true);
      };
    };
    SCOPED_TRACE(radio);
    const auto positive = arrowsOf(ChargeKind::Sphere, sphere(std::to_string(radius)));
    EXPECT_GT(positive.size(), 0u);
    expectSameArrows(arrowsOf(ChargeKind::Sphere, sphere(std::to_string(-radius))), positive);
  }
  auto ring = [](const char* radius) { return [=](ChargeSheet& sh) { sh.SetFieldText(RingField::Radius, radius); }; };
  expectSameArrows(arrowsOf(ChargeKind::Ring, ring("-100")), arrowsOf(ChargeKind::Ring, ring("100")));
  auto cylinder = [](const char* radius) {
    return [=](ChargeSheet& sh) { sh.SetFieldText(CylinderField::Radius, radius); };
  };
  expectSameArrows(arrowsOf(ChargeKind::Cylinder, cylinder("-100")), arrowsOf(ChargeKind::Cylinder, cylinder("100")));
}

TEST_F(RoadTest, ALongTextInASheetFieldIsReadWhole) {
  // Forty thousand characters, the number at the very end.
  const std::string x = std::string(39'995, ' ') + "125.5";
  Add(ChargeKind::Point, [&](ChargeSheet& sh) { sh.SetFieldText(PointField::X, x); });
  ASSERT_EQ(w->ChrgObjList.size(), 1u);
  EXPECT_EQ(w->ChrgObjList[0]->ChargeList[0]->Position, Vector3D(125.5, 0, 0));
  // The object keeps the text for an edit, and the edit shows it whole.
  ASSERT_FALSE(w->ChrgObjList[0]->InputData.empty());
  EXPECT_EQ(w->ChrgObjList[0]->InputData[0], x);
  SheetFor(ChargeKind::Point)->SetFieldText(PointField::X, "0");
  std::size_t shown = 0;
  ThroughSheet("Edit", ChargeKind::Point, false, [&](ChargeSheet& sh) { shown = sh.FieldText(PointField::X).size(); });
  EXPECT_EQ(shown, x.size());
}

TEST_F(RoadTest, DotMatrixSwitchedDuringAFactoryLeavesOneBoxPerPoint) {
  // Switching on, off and on again while a factory runs: each switch waits,
  // and once all have run every evaluated point holds exactly one box.
  C<PopupMenu>("PMShow").SetListIndex(1);  // 49 points, none near the plane below
  int fired = 0;
  QTimer timer;
  timer.setInterval(1);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (fired++ > 0) return;
    auto& dots = C<CheckBox>("CBDotMatrix");
    dots.SetValue(true);
    dots.SetValue(false);
    dots.SetValue(true);
  });
  SheetFor(ChargeKind::Plane)->SetFieldText(PlaneField::Count, "400");
  SheetFor(ChargeKind::Plane)->SetFieldText(PlaneField::CenterZ, "500");  // the x-y plane z = 500, far from y = 0
  timer.start();
  w->MakePlane();
  timer.stop();
  ASSERT_GT(fired, 0);
  QTest::qWait(50);
  QApplication::processEvents();
  EXPECT_EQ(w->Matrix.size(), 49u);
  EXPECT_EQ(InView<PDBox>().size(), 49u);
}

TEST_F(RoadTest, AFieldPassWithTheTestDotOnDrawsOneFrame) {
  Add(ChargeKind::Point);
  QTest::mouseClick(&C<CheckBox>("CBTest"), Qt::LeftButton);
  C<EditField>("EFX").SetText("100");
  ASSERT_NE(w->TestField, nullptr);

  const auto frames = [&] { return view->renderer().framesDrawn(); };
  auto before = frames();
  w->CalcVoltix();
  EXPECT_EQ(frames() - before, 1u);  // the test dot is redrawn, the picture drawn once
  ASSERT_NE(w->TestField, nullptr);  // and its arrow is still there

  before = frames();
  C<EditField>("EFX").SetText("110");  // outside a pass the test dot renders itself
  EXPECT_EQ(frames() - before, 1u);
}

TEST_F(RoadTest, ClicksMadeWhileANewObjectIsBuiltAreHandledInOrderAfterwards) {
  // Real clicks, made by the X server: they reach the program through its X
  // connection while the factory and field pass hold user input back.
  XInput x;
  ASSERT_TRUE(x.Usable());
  Add(ChargeKind::Point);
  SheetFor(ChargeKind::Plane)->SetFieldText(PlaneField::Count, "200");  // 40000 point charges: the pass yields
  Window& sheet = SheetWindowOf(ChargeKind::Plane);
  auto& list = C<ListBox>("ObjectList");
  bool donePressed = false;
  bool clickedDuringBuild = false;
  // Driven from the event loop: first inside the sheet's modal wait, then
  // inside the yields of the factory that Done started.
  QTimer drive;
  drive.setInterval(1);
  QObject::connect(&drive, &QTimer::timeout, [&] {
    if (!donePressed && sheet.isVisible() && sheet.IsShownModally()) {
      donePressed = true;
      x.Click(Centre(Deref(SheetButton(sheet, "Done"))));
    } else if (donePressed && !clickedDuringBuild && w->Busy() && !sheet.isVisible()) {
      clickedDuringBuild = true;
      // The point's row, then Delete: the point must go, not the new plane.
      x.Click(list.viewport()->mapToGlobal(list.visualItemRect(list.item(0)).center()));
      x.Click(Centre(C<PushButton>("DeleteButton")));
    }
  });
  drive.start();
  x.Click(Centre(C<PushButton>("PBPlane")));
  const bool handled = IdleUntil([&] { return clickedDuringBuild && !w->Busy() && w->ChrgObjList.size() == 1; });
  drive.stop();
  ASSERT_TRUE(clickedDuringBuild) << "the factory never yielded";
  ASSERT_TRUE(handled) << "clicks made during the pass were lost";
  EXPECT_EQ(w->ChrgObjList[0]->Name, "Plane");
  EXPECT_EQ(w->SelectedObject, nullptr);
  ExpectAligned();
}

TEST_F(RoadTest, TheHighlightedRowIsAlwaysTheSelectedObject) {
  Add(ChargeKind::Point);
  Add(ChargeKind::Line);
  auto& list = C<ListBox>("ObjectList");
  const auto point = w->ChrgObjList[0];
  const auto line = w->ChrgObjList[1];
  ClickRow(0);
  EXPECT_EQ(w->SelectedObject, point);
  EXPECT_EQ(SphereColour(*point), kPositiveSelectedColor);

  // A key that moves the highlight selects that row's object, as a click would.
  QTest::keyClick(&list, Qt::Key_Down);
  QApplication::processEvents();
  EXPECT_EQ(list.ListIndex(), 1);
  EXPECT_EQ(w->SelectedObject, line);
  EXPECT_EQ(SphereColour(*line), kPositiveSelectedColor);
  EXPECT_EQ(SphereColour(*point), kPositiveColor);

  // A click below the last row changes neither the highlight nor the selection.
  const QRect last = list.visualItemRect(list.item(1));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(last.center().x(), last.bottom() + 20));
  QApplication::processEvents();
  EXPECT_EQ(list.ListIndex(), 1);
  EXPECT_EQ(w->SelectedObject, line);

  // Delete takes the highlighted row's object.
  QTest::mouseClick(&C<PushButton>("DeleteButton"), Qt::LeftButton);
  QApplication::processEvents();
  ASSERT_EQ(w->ChrgObjList.size(), 1u);
  EXPECT_EQ(w->ChrgObjList[0], point);
  ExpectAligned();

  // Nothing is selected now; Space chooses the remaining row, and Delete empties the list.
  EXPECT_EQ(w->SelectedObject, nullptr);
  EXPECT_EQ(list.ListIndex(), -1);
  QTest::keyClick(&list, Qt::Key_Space);
  QApplication::processEvents();
  EXPECT_EQ(w->SelectedObject, point);
  QTest::mouseClick(&C<PushButton>("DeleteButton"), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(w->ChrgObjList.empty());
  ExpectAligned();
}

TEST_F(RoadTest, ARowChosenDuringAPassIsTheSelectedAndHighlightedOneAfterIt) {
  Add(ChargeKind::Point);
  auto& list = C<ListBox>("ObjectList");
  const auto point = w->ChrgObjList[0];
  bool clicked = false;
  QTimer timer;
  timer.setInterval(1);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (clicked || !w->Busy()) return;
    clicked = true;
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(0)).center());
  });
  SheetFor(ChargeKind::Plane)->SetFieldText(PlaneField::Count, "200");  // 40000 point charges: the pass yields
  timer.start();
  w->MakePlane();
  timer.stop();
  ASSERT_TRUE(clicked);
  QTest::qWait(20);
  QApplication::processEvents();
  // The pass selected the new plane; the click, run after it, chose the point.
  ASSERT_EQ(w->ChrgObjList.size(), 2u);
  EXPECT_EQ(w->SelectedObject, point);
  EXPECT_EQ(list.ListIndex(), 0);
  EXPECT_EQ(SphereColour(*point), kPositiveSelectedColor);
  EXPECT_EQ(SphereColour(*w->ChrgObjList[1]), kPositiveColor);
}

TEST_F(RoadTest, ArrowScaleClicksHeldBackByAPassAskForOnePassWithTheLastScale) {
  XInput x;
  ASSERT_TRUE(x.Usable());
  Add(ChargeKind::Plane, [](ChargeSheet& s) { s.SetFieldText(PlaneField::Count, "200"); });  // the pass yields
  auto& scale = C<Slider>("SLEScale");
  ASSERT_EQ(scale.Value(), 6);
  // Right of the handle: each click a step up.
  const QPoint groove = scale.mapToGlobal(QPoint(scale.width() - 3, scale.height() / 2));
  const auto frames = [&] { return view->renderer().framesDrawn(); };
  const auto before = frames();
  bool clickedDuringPass = false;
  QTimer drive;
  drive.setInterval(1);
  QObject::connect(&drive, &QTimer::timeout, [&] {
    if (clickedDuringPass || !w->Busy()) return;
    clickedDuringPass = true;
    for (int i = 0; i < 4; ++i) x.Click(groove);
  });
  drive.start();
  x.Click(groove);
  const bool idle = IdleUntil([&] { return clickedDuringPass && !w->Busy() && scale.Value() == 11; });
  drive.stop();
  ASSERT_TRUE(clickedDuringPass) << "the pass never yielded";
  ASSERT_TRUE(idle);
  Settle();
  // The first click's pass, then one for the four it held back.
  EXPECT_EQ(frames() - before, 2u);
  EXPECT_DOUBLE_EQ(w->EScale, std::pow(10.0, 2.5) * 150000.0);

  // No pass starts while a click's button is down: it would hold the
  // release back while the slider's own timer steps it on.
  const auto held = frames();
  x.Press(groove);
  EXPECT_FALSE(IdleUntil([&] { return frames() != held; }, 150));
  EXPECT_EQ(scale.Value(), 12);
  x.Release();
  EXPECT_TRUE(IdleUntil([&] { return frames() != held && !w->Busy(); }));
  Settle();
  EXPECT_EQ(frames() - held, 1u);
  EXPECT_EQ(scale.Value(), 12);
}
