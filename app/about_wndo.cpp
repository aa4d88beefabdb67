#include "app/about_wndo.h"

#include "app/main_menu.h"
#include "framework/ui/controls.h"
#include "framework/ui/resources.h"

#include <QtCore/qglobal.h>

namespace {
struct AboutCache {
  bool loaded = false;
  std::string text;
  int reads = 0;
};
AboutCache& Cache() {
  static AboutCache cache;
  return cache;
}
}  // namespace

// The resources live in a static library; make sure they are linked in.
static void InitAboutResources() { Q_INIT_RESOURCE(voltix); }

std::string AboutVoltix() {
  AboutCache& cache = Cache();
  if (!cache.loaded) {
    InitAboutResources();
    // Whatever comes back, also nothing, is kept: the page is read once a run.
    cache.text = GetResource("TEXT", 168).value_or(std::string());
    ++cache.reads;
    cache.loaded = true;
  }
  return cache.text;
}

int AboutVoltixReads() { return Cache().reads; }

void ReleaseAboutVoltix() {
  Cache().text.clear();
  Cache().loaded = false;
}

AboutWndo* AboutWndo::Shared() {
  if (auto* live = Window::LiveWindow<AboutWndo>()) return live;
  auto* w = new AboutWndo;
  w->Construct();
  return w;
}

void AboutWndo::Layout() {
  SetMenuBar(MainMenu::Shared());
  SetTitle("About Voltix");
  SetSize(763, 653);
  SetMinSize(64, 64);
  SetMaxSize(32000, 32000);
  SetFrame(FrameDocument);
  SetResizeable(true);
  SetVisible(true);
  // A closed About window is gone; the next About choice makes a new one.
  SetDestroyOnClose(true);
}

void AboutWndo::CreateControls() { _CreateControls0(); }

void AboutWndo::_CreateControls0() {
  auto* viewer = AddControl(new HTMLViewer, "HTMLViewer1", {20, 14, 723, 619}, LockAll);
  viewer->BindEditMenuItems(*this, "EditCut", "EditCopy", "EditPaste", "EditClear");
}

void AboutWndo::AddMenuHandlers() {}

void AboutWndo::Event_Open() { ControlRef<HTMLViewer>("HTMLViewer1").LoadPage(AboutVoltix(), std::nullopt); }
