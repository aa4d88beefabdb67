// The main window's properties, its controls in creation order and the
// binding of each control event to the handler named after it.

#include "app/main_menu.h"
#include "app/main_wndo.h"
#include "framework/ui/controls.h"
#include "scene/pd3d_space.h"

#include <QFont>
#include <QSignalBlocker>

class MainWndo::STLabel : public StaticText {
public:
  explicit STLabel(int index) { SetIndex(index); }
};

namespace {

constexpr unsigned kLeftBottom = LockLeft | LockBottom;
constexpr unsigned kTopRight = LockTop | LockRight;

// Text sizes are given in pixels of the design; 0 keeps the toolkit's size.
void SetTextPixels(QWidget* control, int pixels) {
  if (pixels <= 0) return;
  QFont font = control->font();
  font.setPixelSize(pixels);
  control->setFont(font);
}

}  // namespace

void MainWndo::Layout() {
  SetMenuBar(MainMenu::Shared());
  SetTitle("Voltix Window");
  SetSize(860, 621);
  SetMinSize(860, 621);
  SetMaxSize(32000, 32000);
  SetFrame(FrameDocument);
  SetResizeable(true);
  SetVisible(true);
}

void MainWndo::CreateControls() { _CreateControls0(); }

void MainWndo::_CreateControls0() {
  auto slider = [this](const char* name, Bounds b, unsigned locks, int lo, int hi, int value, int page, bool live) {
    auto* s = AddControl(new Slider, name, b, locks);
    const QSignalBlocker quiet(s);  // creation values raise no change events
    s->SetRange(lo, hi);
    s->SetValue(value);
    s->SetLineStep(1);
    s->SetPageStep(page);
    s->SetLiveScroll(live);
    return s;
  };
  auto label = [this](int index, const char* text, Bounds b, unsigned locks, TextAlign align, int size) {
    auto* l = AddControl(new STLabel(index), "STLabel", index, b, locks);
    l->SetText(text);
    l->SetTextAlign(align);
    SetTextPixels(l, size);
    return l;
  };
  auto button = [this](const char* name, const char* caption, Bounds b) {
    auto* pb = AddControl(new PushButton(caption), name, b, kTopRight);
    SetTextPixels(pb, 12);
    return pb;
  };
  auto separator = [this](const char* name, Bounds b, unsigned locks) {
    return AddControl(new Separator, name, b, locks);
  };
  auto testField = [this](const char* name, Bounds b) {
    auto* ef = AddControl(new EditField, name, b, kTopRight);
    {
      const QSignalBlocker quiet(ef);
      ef->SetText("0");
    }
    ef->SetEnabled(false);
    SetTextPixels(ef, 12);
    return ef;
  };
  auto arrows = [this](const char* name, Bounds b) {
    auto* la = AddControl(new LittleArrows, name, b, kTopRight);
    la->SetEnabled(false);
    return la;
  };

  // The camera sliders and their captions.
  auto* SLZoom = slider("SLZoom", {20, 569, 100, 16}, kLeftBottom, -95, 95, 0, 20, true);
  connect(SLZoom, &Slider::ValueChanged, this, [this] { SLZoom_ValueChanged(); });
  auto* SLLat = slider("SLLat", {132, 569, 100, 16}, kLeftBottom, -89, 89, 10, 20, true);
  connect(SLLat, &Slider::ValueChanged, this, [this] { SLLat_ValueChanged(); });
  auto* SLLong = slider("SLLong", {244, 569, 100, 16}, kLeftBottom, -179, 180, 0, 20, true);
  connect(SLLong, &Slider::ValueChanged, this, [this] { SLLong_ValueChanged(); });
  label(0, "Zoom", {20, 590, 100, 20}, kLeftBottom, TextAlign::Center, 12);
  label(1, "Latitude", {132, 590, 100, 20}, kLeftBottom, TextAlign::Center, 12);
  label(2, "Longitude", {244, 590, 100, 20}, kLeftBottom, TextAlign::Center, 12);

  // The 3D view, with the framework properties it opens with.
  auto* view = AddControl(new PD3DSpace, "MyPDSpace", {0, 0, 755, 550}, LockAll);
  view->Hither = 5;
  view->Yon = 5000;
  view->FieldOfView = 50;
  view->SkyColor = 0xC8C8FF;
  view->AmbientLight = 30;
  view->AmbientColor = 0xFFFFFF;
  view->FloodLight = 90;
  view->FloodColor = 0xFFFFFF;
  view->FogVisible = false;
  view->FogStart = 0;
  view->Wireframe = false;
  view->DebugCube = false;
  view->ShowAxes = false;
  view->Autoscale = false;
  view->Autocenter = false;
  connect(view, &PD3DSpace::Open, this, [this] { MyPDSpace_Open(); });
  connect(view, &PD3DSpace::Click, this, [this](int x, int y) { MyPDSpace_Click(x, y); });

  // Reset and the first charge button.
  connect(button("PBReset", "Reset", {771, 9, 69, 20}), &PushButton::Action, this, [this] { PBReset_Action(); });
  connect(button("PBPoint", "Point", {771, 73, 69, 20}), &PushButton::Action, this, [this] { PBPoint_Action(); });
  // The arrow scale and its caption.
  auto* SLEScale = slider("SLEScale", {362, 569, 100, 16}, kLeftBottom, 0, 12, 6, 1, false);
  connect(SLEScale, &Slider::ValueChanged, this, [this] { SLEScale_ValueChanged(); });
  connect(SLEScale, &Slider::Open, this, [this] { SLEScale_Open(); });
  label(3, "Arrow Scale", {362, 590, 100, 20}, kLeftBottom, TextAlign::Center, 12);
  // The other charge buttons.
  connect(button("PBLine", "Line", {771, 105, 69, 20}), &PushButton::Action, this, [this] { PBLine_Action(); });
  connect(button("PBPlane", "Plane", {771, 137, 69, 20}), &PushButton::Action, this, [this] { PBPlane_Action(); });
  connect(button("PBSphere", "Sphere", {771, 169, 69, 20}), &PushButton::Action, this, [this] { PBSphere_Action(); });
  connect(button("PBRing", "Ring", {771, 201, 69, 20}), &PushButton::Action, this, [this] { PBRing_Action(); });
  connect(button("PBCylinder", "Cylinder", {771, 233, 69, 20}), &PushButton::Action, this,
          [this] { PBCylinder_Action(); });
  // The charge buttons' caption and separators.
  label(4, "CHARGE SETUPS", {757, 46, 100, 20}, kTopRight, TextAlign::Center, 10);
  separator("Separator1", {757, 41, 100, 4}, kTopRight);
  separator("Separator2", {757, 265, 100, 4}, kTopRight);
  // The list of charged objects and its caption.
  auto* list = AddControl(new ListBox, "ObjectList", {766, 295, 83, 98}, kTopRight);
  list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list->setDragEnabled(false);
  SetTextPixels(list, 12);
  list->CellClick = [this](int row, int column, int x, int y) { return ObjectList_CellClick(row, column, x, y); };
  label(5, "CHARGED OBJECTS", {757, 270, 100, 20}, kTopRight, TextAlign::Center, 10);
  // Delete and Edit.
  connect(button("DeleteButton", "Delete", {771, 437, 69, 20}), &PushButton::Action, this,
          [this] { DeleteButton_Action(); });
  connect(button("Edit", "Edit", {771, 405, 69, 20}), &PushButton::Action, this, [this] { Edit_Action(); });
  // The dot matrix switch.
  auto* dots = AddControl(new CheckBox("Dot Matrix"), "CBDotMatrix", {533, 590, 93, 20}, kLeftBottom);
  connect(dots, &CheckBox::Action, this, [this] { CBDotMatrix_Action(); });
  // The test dot's coordinates.
  auto* XArrows = arrows("XArrows", {833, 519, 13, 23});
  connect(XArrows, &LittleArrows::Down, this, [this] { XArrows_Down(); });
  connect(XArrows, &LittleArrows::Up, this, [this] { XArrows_Up(); });
  connect(testField("EFX", {786, 520, 41, 21}), &EditField::TextChange, this, [this] { EFX_TextChange(); });
  auto* YArrows = arrows("YArrows", {833, 549, 13, 23});
  connect(YArrows, &LittleArrows::Down, this, [this] { YArrows_Down(); });
  connect(YArrows, &LittleArrows::Up, this, [this] { YArrows_Up(); });
  connect(testField("EFY", {786, 550, 41, 21}), &EditField::TextChange, this, [this] { EFY_TextChange(); });
  auto* ZArrows = arrows("ZArrows", {833, 580, 13, 23});
  connect(ZArrows, &LittleArrows::Down, this, [this] { ZArrows_Down(); });
  connect(ZArrows, &LittleArrows::Up, this, [this] { ZArrows_Up(); });
  connect(testField("EFZ", {786, 581, 41, 21}), &EditField::TextChange, this, [this] { EFZ_TextChange(); });
  // The test dot's captions, separator and switch.
  label(7, "X", {764, 521, 22, 19}, kTopRight, TextAlign::Center, 12);
  label(8, "Y", {765, 551, 19, 19}, kTopRight, TextAlign::Center, 12);
  label(9, "Z", {764, 582, 20, 19}, kTopRight, TextAlign::Center, 12);
  separator("Separator3", {757, 466, 100, 4}, kTopRight);
  label(6, "TEST DOT", {757, 469, 100, 20}, kTopRight, TextAlign::Center, 10);
  auto* test = AddControl(new CheckBox("Show"), "CBTest", {774, 490, 66, 20}, kTopRight);
  connect(test, &CheckBox::Action, this, [this] { CBTest_Action(); });
  // The plane choice, a separator, the scan slider and their captions.
  label(10, "Show", {488, 563, 39, 20}, kLeftBottom, TextAlign::Left, 0);
  auto* show = AddControl(new PopupMenu, "PMShow", {533, 562, 93, 20}, kLeftBottom);
  {
    const QSignalBlocker quiet(show);
    show->SetItems(std::vector<std::string>{"All", "xz plane", "yz plane", "xy plane", "None"});
    show->SetListIndex(0);
  }
  connect(show, &PopupMenu::Change, this, [this] { PMShow_Change(); });
  separator("Separator4", {751, 552, 7, 61}, LockRight | LockBottom);
  auto* scan = slider("SLScan", {641, 564, 100, 16}, kLeftBottom, -3, 3, 0, 1, true);
  scan->SetEnabled(false);
  connect(scan, &Slider::ValueChanged, this, [this] { SLScan_ValueChanged(); });
  label(11, "Scan", {641, 590, 100, 20}, kLeftBottom, TextAlign::Center, 12);

}
