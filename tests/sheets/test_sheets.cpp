#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QTest>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "sheet_test_support.h"

namespace {

struct Expected {
  SheetWindow* sheet;
  const char* file;  // screenshot name
  const char* title;
  int width, height;
  int firstField;
  int lastField;
  std::vector<const char*> texts;  // EF(firstField), EF(firstField + 1), ...
  int focus;
};

std::vector<Expected> expectedSheets() {
  // A sheet a row.
  // clang-format off
  return {
      {&SingleSheet::Instance(), "point", "Point", 281, 166, PointField::First, PointField::Last,
       {"0", "0", "0", "1"}, PointField::X},
      {&LineSheet::Instance(), "line", "Line", 315, 242, LineField::First, LineField::Last,
       {"0", "0", "0", "1", "0", "0", "10", "1000", "100"}, LineField::CenterX},
      {&PlaneSheet::Instance(), "plane", "Plane", 303, 238, PlaneField::First, PlaneField::Last,
       {"20", "0", "0", "0", "50", "1000"}, PlaneField::CenterX},
      {&SphereSheet::Instance(), "sphere", "Sphere", 300, 239, SphereField::First, SphereField::Last,
       {"0", "0", "0", "5", "100"}, SphereField::CenterX},
      {&CylinderSheet::Instance(), "cylinder", "Cylinder", 301, 251, CylinderField::First, CylinderField::Last,
       {"0", "0", "0", "2", "1000", "20", "100"}, CylinderField::CenterX},
      {&RingSheet::Instance(), "ring", "Ring", 302, 258, RingField::First, RingField::Last,
       {"0", "0", "0", "0", "0", "1", "10", "150", "20"}, RingField::CenterX},
  };
  // clang-format on
}

// The caption a user reads for a field: the nearest label to its left on its row.
std::string captionOf(const SheetWindow& sheet, int field) {
  const QRect box = Deref(sheet.EF(field)).geometry();
  const StaticText* nearest = nullptr;
  for (int i = 0; i < sheet.ControlCount(); ++i) {
    const auto* label = dynamic_cast<const StaticText*>(sheet.ControlAt(i));
    if (label == nullptr || std::abs(label->geometry().center().y() - box.center().y()) > 5) continue;
    if (label->geometry().right() >= box.left()) continue;
    if (nearest == nullptr || label->geometry().right() > nearest->geometry().right()) nearest = label;
  }
  return nearest != nullptr ? nearest->Text() : std::string();
}

int countOf(const std::vector<bool>& values) {
  int n = 0;
  for (bool v : values) n += v ? 1 : 0;
  return n;
}

}  // namespace

class Sheets : public FreshSheetsTest {};

// Every sheet's first showing, with its screenshot; the fixture has let go of
// any sheet an earlier test used, so these are made afresh here.
TEST_F(Sheets, FirstShowingHasInitialTextsStatesAndWholeFocusTextSelected) {
  for (const Expected& e : expectedSheets()) {
    SCOPED_TRACE(e.title);
    SheetWindow& sheet = *e.sheet;
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_FALSE(sheet.DoneFlag());
    const ShowResult shown = RunShown(sheet, [&] {
      EXPECT_EQ(sheet.Title(), e.title);
      EXPECT_EQ(sheet.Width(), e.width);
      EXPECT_EQ(sheet.Height(), e.height);
      EXPECT_EQ(sheet.Frame(), FrameSheet);
      EXPECT_EQ(sheet.parentWidget(), &HostWindow());
      // The fields, consecutive from the first index, and nothing beyond.
      EXPECT_EQ(sheet.EF(e.firstField - 1), nullptr);
      for (std::size_t i = 0; i < e.texts.size(); ++i) {
        const int index = e.firstField + static_cast<int>(i);
        ASSERT_NE(sheet.EF(index), nullptr) << "EF(" << index << ")";
        EXPECT_EQ(sheet.EF(index)->Text(), e.texts[i]) << "EF(" << index << ")";
        EXPECT_EQ(sheet.EF(index)->width(), 44);
      }
      EXPECT_EQ(sheet.EF(e.firstField + static_cast<int>(e.texts.size())), nullptr);
      EXPECT_EQ(e.firstField + static_cast<int>(e.texts.size()) - 1, e.lastField);

      // The focus field has the focus and all of its text selected.
      EditField& focus = Deref(sheet.EF(e.focus));
      EXPECT_EQ(sheet.FocusIndex(), e.focus);
      EXPECT_TRUE(focus.hasFocus());
      EXPECT_EQ(focus.SelStart(), 0);
      EXPECT_EQ(focus.SelLength(), static_cast<int>(focus.text().size()));
      EXPECT_EQ(focus.selectedText(), focus.text());

      // The grid box everywhere but in the point sheet, ticked.
      if (e.sheet == &SingleSheet::Instance()) {
        EXPECT_EQ(sheet.CBGrid(), nullptr);
      } else {
        ASSERT_NE(sheet.CBGrid(), nullptr);
        EXPECT_TRUE(sheet.CBGrid()->Value());
        EXPECT_EQ(sheet.CBGrid()->text().toStdString(), "Show Grid");
      }

      // Return presses Done everywhere; Escape presses Cancel in the point sheet only.
      EXPECT_TRUE(DoneButtonOf(sheet).Default());
      EXPECT_EQ(CancelButtonOf(sheet).Cancel(), e.sheet == &SingleSheet::Instance());

      QImage shot = sheet.grab().toImage();
      shot.save(QString("/tmp/sheet_%1.png").arg(e.file));
      // Every label's text fits its box and is drawn: dark pixels in the box.
      for (int i = 0; i < sheet.ControlCount(); ++i) {
        auto* label = dynamic_cast<StaticText*>(sheet.ControlAt(i));
        if (label == nullptr) continue;
        const QRect box = label->geometry().intersected(QRect(QPoint(0, 0), sheet.ContentArea()->size()));
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width())
            << label->text().toStdString();
        const QPoint at = label->parentWidget()->mapTo(&sheet, box.topLeft());
        int dark = 0;
        for (int y = at.y(); y < at.y() + box.height(); ++y) {
          for (int x = at.x(); x < at.x() + box.width(); ++x) {
            if (qGray(shot.pixel(x, y)) < 100) ++dark;
          }
        }
        EXPECT_GT(dark, 5) << label->text().toStdString();
      }
      CancelButtonOf(sheet).click();
    });
    EXPECT_TRUE(shown.active);
    EXPECT_TRUE(shown.ran);
    EXPECT_FALSE(shown.leftShown);
  }

  // The popups and the sphere's radio buttons.
  PopupMenu& axis = PlaneSheet::Instance().PUAxis();
  ASSERT_EQ(axis.ListCount(), 3);
  EXPECT_EQ(axis.List(0), "xy plane");
  EXPECT_EQ(axis.List(1), "xz plane");
  EXPECT_EQ(axis.List(2), "yz plane");
  EXPECT_EQ(axis.ListIndex(), 0);
  PopupMenu& cyl = CylinderSheet::Instance().AxisMenu();
  ASSERT_EQ(cyl.ListCount(), 3);
  EXPECT_EQ(cyl.List(0), "x axis");
  EXPECT_EQ(cyl.List(1), "y axis");
  EXPECT_EQ(cyl.List(2), "z axis");
  EXPECT_EQ(cyl.ListIndex(), 0);
  SphereSheet& sphere = SphereSheet::Instance();
  EXPECT_FALSE(sphere.Inside().Value());
  EXPECT_FALSE(sphere.Outside().Value());
  EXPECT_TRUE(sphere.Both().Value());
  EXPECT_EQ(sphere.ControlRef<GroupBox>("GroupBox1").title().toStdString(), "Show Field");
}

TEST_F(Sheets, ControlsLieWhereTheirWindowsPlaceThem) {
  // Each kind's sheet is made from the layout listed for that kind, in the
  // one text size at which every caption of all six fits.
  const int fontPixels = SheetWindow::FittingFontPixels(ChargeSheetLayouts());
  EXPECT_GE(fontPixels, 9);
  EXPECT_LE(fontPixels, 12);
  ASSERT_EQ(ChargeSheetLayouts().size(), 6u);
  const struct {
    ChargeKind kind;
    SheetWindow* sheet;
    const SheetLayout* layout;
  } sheets[] = {
      {ChargeKind::Point, &SingleSheet::Instance(), &SingleSheetLayout()},
      {ChargeKind::Line, &LineSheet::Instance(), &LineSheetLayout()},
      {ChargeKind::Plane, &PlaneSheet::Instance(), &PlaneSheetLayout()},
      {ChargeKind::Sphere, &SphereSheet::Instance(), &SphereSheetLayout()},
      {ChargeKind::Cylinder, &CylinderSheet::Instance(), &CylinderSheetLayout()},
      {ChargeKind::Ring, &RingSheet::Instance(), &RingSheetLayout()},
  };
  for (const auto& [kind, sheet, layout] : sheets) {
    SCOPED_TRACE(layout->title);
    EXPECT_EQ(ChargeSheetOf(kind), sheet);
    EXPECT_EQ(ChargeSheetLayouts()[static_cast<std::size_t>(kind)], layout);
    EXPECT_EQ(sheet->font().pixelSize(), fontPixels);
    // Every control in creation order, by name and index, at its box.
    ASSERT_EQ(sheet->ControlCount(), static_cast<int>(layout->controls.size()));
    for (int i = 0; i < sheet->ControlCount(); ++i) {
      const SheetControl& c = layout->controls[static_cast<std::size_t>(i)];
      QWidget* w = sheet->ControlAt(i);
      EXPECT_EQ(w->objectName().toStdString(), c.name);
      EXPECT_EQ(ControlIndex(w), c.index);
      EXPECT_EQ(w->geometry(), QRect(c.left, c.top, c.width, c.height)) << c.name << " " << c.index;
      EXPECT_EQ(c.index >= 0 ? sheet->Control(c.name, c.index) : sheet->Control(c.name), w);
    }
  }
  // Spot checks of the tables themselves.
  LineSheet& line = LineSheet::Instance();
  EXPECT_EQ(line.Control("StaticText1")->geometry(), QRect(-6, 70, 100, 20));
  EXPECT_EQ(line.ControlAs<StaticText>("STLabel", 5)->Text(), "Z");
  EXPECT_EQ(line.ControlAs<StaticText>("STLabel", 5)->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
  EXPECT_EQ(line.ControlAs<StaticText>("StaticText1")->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
  // The plane's count, its first field, is created after every other field.
  PlaneSheet& plane = PlaneSheet::Instance();
  int lastField = -1;
  for (int i = 0; i < plane.ControlCount(); ++i) {
    if (plane.ControlAt(i)->objectName() == "EF") lastField = i;
  }
  ASSERT_GE(lastField, 0);
  EXPECT_EQ(ControlIndex(plane.ControlAt(lastField)), PlaneField::Count);
  // The sphere's radio buttons read Outside, Inside, Both from the top, framed by the group box.
  SphereSheet& sphere = SphereSheet::Instance();
  EXPECT_LT(sphere.Outside().y(), sphere.Inside().y());
  EXPECT_LT(sphere.Inside().y(), sphere.Both().y());
  const QRect group = sphere.Control("GroupBox1")->geometry();
  for (RadioButton* r : {&sphere.Outside(), &sphere.Inside(), &sphere.Both()}) {
    EXPECT_TRUE(group.contains(r->geometry().center()));
  }
  // The cylinder's Done button comes before its Cancel button.
  CylinderSheet& cylinder = CylinderSheet::Instance();
  EXPECT_EQ(cylinder.ControlAt(14)->objectName(), "PBDone");
  EXPECT_EQ(cylinder.ControlAt(15)->objectName(), "PBCancel");
}

// The names the program reads the fields by say what the user reads beside them.
TEST_F(Sheets, EachNamedFieldStandsBesideItsCaption) {
  const struct {
    SheetWindow* sheet;
    int field;
    const char* caption;
  } fields[] = {
      {&SingleSheet::Instance(), PointField::X, "Position:"},
      {&SingleSheet::Instance(), PointField::Charge, "Charge:"},
      {&LineSheet::Instance(), LineField::CenterX, "Center:"},
      {&LineSheet::Instance(), LineField::VectorX, "Vector:"},
      {&LineSheet::Instance(), LineField::Charge, "Total Charge:"},
      {&LineSheet::Instance(), LineField::Length, "Length:"},
      {&LineSheet::Instance(), LineField::Count, "Number of point charges:"},
      {&PlaneSheet::Instance(), PlaneField::Count, "Number of point charges per side:"},
      {&PlaneSheet::Instance(), PlaneField::CenterX, "Center:"},
      {&PlaneSheet::Instance(), PlaneField::Charge, "Total Charge:"},
      {&PlaneSheet::Instance(), PlaneField::Side, "Side:"},
      {&SphereSheet::Instance(), SphereField::CenterX, "Center:"},
      {&SphereSheet::Instance(), SphereField::Charge, "Total Charge:"},
      {&SphereSheet::Instance(), SphereField::Radius, "Radius:"},
      {&CylinderSheet::Instance(), CylinderField::CenterX, "Center:"},
      {&CylinderSheet::Instance(), CylinderField::ChargePerRing, "Total Charge:"},
      {&CylinderSheet::Instance(), CylinderField::Length, "Length:"},
      {&CylinderSheet::Instance(), CylinderField::Rings, "Number of Rings:"},
      {&CylinderSheet::Instance(), CylinderField::Radius, "Radius:"},
      {&RingSheet::Instance(), RingField::CenterX, "Center:"},
      {&RingSheet::Instance(), RingField::NormalX, "Normal Vector:"},
      {&RingSheet::Instance(), RingField::Charge, "Total Charge:"},
      {&RingSheet::Instance(), RingField::Radius, "Radius:"},
      {&RingSheet::Instance(), RingField::Count, "Number of charges in the Ring:"},
  };
  for (const auto& f : fields) EXPECT_EQ(captionOf(*f.sheet, f.field), f.caption) << f.sheet->Title() << " " << f.field;
}

TEST_F(Sheets, DoneAndCancelSetTheFlagHideTheSheetAndKeepTypedText) {
  for (SheetWindow* sheet : AllSheets()) {
    SCOPED_TRACE(sheet->Title());
    const int k = sheet->FocusIndex();
    // Type over the selected focus text, then Cancel.
    ShowResult shown = RunShown(*sheet, [&] {
      QTest::keyClicks(sheet->EF(k), "42x");
      EXPECT_EQ(sheet->EF(k)->Text(), "42x");
      CancelButtonOf(*sheet).click();
      EXPECT_FALSE(sheet->isVisible());
    });
    EXPECT_TRUE(shown.returned);
    EXPECT_FALSE(shown.leftShown);
    EXPECT_FALSE(sheet->DoneFlag());
    EXPECT_FALSE(sheet->isVisible());

    // Shown again: the typed text is still there, wholly selected; Done.
    shown = RunShown(*sheet, [&] {
      EXPECT_EQ(sheet->EF(k)->Text(), "42x");
      EXPECT_EQ(sheet->EF(k)->selectedText().toStdString(), "42x");
      EXPECT_TRUE(sheet->EF(k)->hasFocus());
      DoneButtonOf(*sheet).click();
    });
    EXPECT_FALSE(shown.leftShown);
    EXPECT_TRUE(sheet->DoneFlag());
    EXPECT_FALSE(sheet->isVisible());

    // An empty focus field is focused with an empty selection; Cancel after Done clears the flag.
    sheet->EF(k)->SetText("");
    shown = RunShown(*sheet, [&] {
      EXPECT_TRUE(sheet->EF(k)->hasFocus());
      EXPECT_EQ(sheet->EF(k)->SelStart(), 0);
      EXPECT_EQ(sheet->EF(k)->SelLength(), 0);
      CancelButtonOf(*sheet).click();
    });
    EXPECT_FALSE(shown.leftShown);
    EXPECT_FALSE(sheet->DoneFlag());
    EXPECT_EQ(sheet->EF(k)->Text(), "");
  }
}

TEST_F(Sheets, ReturnPressesDoneEverywhereEscapeCancelsOnlyThePointSheet) {
  for (SheetWindow* sheet : AllSheets()) {
    SCOPED_TRACE(sheet->Title());
    const bool isPoint = sheet == &SingleSheet::Instance();
    const int k = sheet->FocusIndex();
    sheet->EF(k)->SetText("7");

    // Return in the focus field: Done.
    ShowResult shown = RunShown(*sheet, [&] { QTest::keyClick(sheet->EF(k), Qt::Key_Return); });
    EXPECT_FALSE(shown.leftShown);
    EXPECT_TRUE(sheet->DoneFlag());

    // Escape in the focus field, and in another control: only the point sheet cancels.
    shown = RunShown(*sheet, [&] {
      QTest::keyClick(sheet->EF(k), Qt::Key_Escape);
      if (sheet->isVisible()) QTest::keyClick(sheet->EF(k + 1), Qt::Key_Escape);
      if (sheet->isVisible()) QTest::keyClick(&DoneButtonOf(*sheet), Qt::Key_Escape);
    });
    EXPECT_EQ(shown.leftShown, !isPoint);
    EXPECT_EQ(sheet->DoneFlag(), !isPoint);  // Escape left the flag alone where it pressed nothing
    EXPECT_EQ(sheet->EF(k)->Text(), "7");
  }
}

TEST_F(Sheets, ClosingFromTheTitleBarActsLikeCancelAndKeepsTheInstance) {
  for (SheetWindow* sheet : AllSheets()) {
    SCOPED_TRACE(sheet->Title());
    const int k = sheet->FocusIndex();
    RunShown(*sheet, [&] { DoneButtonOf(*sheet).click(); });
    ASSERT_TRUE(sheet->DoneFlag());
    const ShowResult shown = RunShown(*sheet, [&] {
      QTest::keyClicks(sheet->EF(k), "closed");
      sheet->close();
    });
    EXPECT_TRUE(shown.returned);
    EXPECT_FALSE(shown.leftShown);
    EXPECT_FALSE(sheet->DoneFlag());
  }
  // The same instances, with what was typed before the close.
  EXPECT_EQ(SingleSheet::Instance().EF(PointField::X)->Text(), "closed");
  EXPECT_EQ(LineSheet::Instance().EF(LineField::CenterX)->Text(), "closed");
  EXPECT_EQ(RingSheet::Instance().EF(RingField::CenterX)->Text(), "closed");
  EXPECT_EQ(&SphereSheet::Instance(), &SphereSheet::Instance());
}

TEST_F(Sheets, SphereRadioButtonsKeepExactlyOneChosen) {
  SphereSheet& sphere = SphereSheet::Instance();
  RunShown(sphere, [&] {
    auto values = [&] { return std::vector<bool>{sphere.Inside().Value(), sphere.Outside().Value(), sphere.Both().Value()}; };
    auto click = [&](RadioButton& r) {
      QTest::mouseClick(&r, Qt::LeftButton, Qt::NoModifier, QPoint(8, r.height() / 2));
    };
    click(sphere.Inside());
    EXPECT_EQ(values(), (std::vector<bool>{true, false, false}));
    click(sphere.Inside());  // the chosen one again
    EXPECT_EQ(values(), (std::vector<bool>{true, false, false}));
    click(sphere.Outside());
    EXPECT_EQ(values(), (std::vector<bool>{false, true, false}));
    click(sphere.Both());
    EXPECT_EQ(values(), (std::vector<bool>{false, false, true}));
    // The group box lies behind the buttons and lets their clicks through.
    click(sphere.Outside());
    EXPECT_EQ(values(), (std::vector<bool>{false, true, false}));
    // Set by code, as an edit or a reader might.
    sphere.Inside().SetValue(true);
    EXPECT_EQ(countOf(values()), 1);
    EXPECT_TRUE(sphere.Inside().Value());
    sphere.Both().SetValue(true);
    EXPECT_EQ(values(), (std::vector<bool>{false, false, true}));
    DoneButtonOf(sphere).click();
  });
  // The choice stays with the sheet for its next showing.
  RunShown(sphere, [&] {
    EXPECT_TRUE(sphere.Both().Value());
    EXPECT_FALSE(sphere.Inside().Value());
    EXPECT_FALSE(sphere.Outside().Value());
    CancelButtonOf(sphere).click();
  });
}
