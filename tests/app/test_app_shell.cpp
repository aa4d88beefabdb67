// Start-up, layout, menu bar, About window and quitting.

#include "app/about_wndo.h"
#include "app/main_menu.h"
#include "app_fixture.h"
#include "scene/pd_line.h"

#include "x_input.h"

#include <QAction>
#include <QClipboard>
#include <QImage>
#include <QProcess>
#include <QTimer>

#include <chrono>
#include <functional>

namespace {

// How many pixels of the image are close to the colour.
int CountColour(const QImage& img, QColor c, int tolerance = 40) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      const QColor p = img.pixelColor(x, y);
      if (std::abs(p.red() - c.red()) < tolerance && std::abs(p.green() - c.green()) < tolerance &&
          std::abs(p.blue() - c.blue()) < tolerance) {
        ++n;
      }
    }
  }
  return n;
}

}  // namespace

TEST_F(AppTest, StartsIntoAnEmptySceneWithItsControlsInTheirCreationState) {
  EXPECT_EQ(MainWndo::Shared(), w);  // a second call makes nothing new
  EXPECT_EQ(w->EScale, 150000.0);
  EXPECT_TRUE(w->ChrgObjList.empty());
  EXPECT_TRUE(w->SurfaceList.empty());
  EXPECT_TRUE(w->Matrix.empty());
  EXPECT_EQ(w->SelectedObject, nullptr);
  EXPECT_EQ(w->TestDot, nullptr);
  EXPECT_EQ(w->TestField, nullptr);
  EXPECT_FALSE(w->Resetting);
  EXPECT_EQ(C<ListBox>("ObjectList").RowCount(), 0);

  // The view is the current scene and holds its three axis lines only.
  EXPECT_EQ(PD3D::SelectedSpace.data(), view);
  EXPECT_TRUE(view->ShowAxes);
  ASSERT_EQ(ViewObjects(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_NE(std::dynamic_pointer_cast<PDLine>(view->Objects()->Item(i)), nullptr);
  EXPECT_EQ(view->Latitude, 10.0);
  EXPECT_EQ(view->Longitude, 0.0);
  EXPECT_EQ(view->Yon, 5000.0);
  EXPECT_EQ(view->FieldOfView, 50);

  for (const char* name : {"EFX", "EFY", "EFZ", "XArrows", "YArrows", "ZArrows", "SLScan"}) {
    EXPECT_FALSE(w->Control(name)->isEnabled()) << name;
  }
  EXPECT_TRUE(C<PushButton>("PBReset").isEnabled());
  EXPECT_FALSE(C<CheckBox>("CBTest").Value());
  EXPECT_FALSE(C<CheckBox>("CBDotMatrix").Value());
  EXPECT_EQ(C<PopupMenu>("PMShow").ListIndex(), 0);
  EXPECT_EQ(C<PopupMenu>("PMShow").List(0), "All");
  EXPECT_EQ(C<PopupMenu>("PMShow").ListCount(), 5);
  EXPECT_EQ(C<Slider>("SLEScale").Value(), 6);
  EXPECT_EQ(C<Slider>("SLLat").Value(), 10);
  EXPECT_EQ(C<EditField>("EFX").Text(), "0");

  EXPECT_EQ(w->Title(), "Voltix Window");
  EXPECT_EQ(w->Width(), 860);
  EXPECT_EQ(w->Height(), 621);
  EXPECT_EQ(w->MinWidth(), 860);
  EXPECT_EQ(w->MinHeight(), 621);

  // The controls, in creation order, by name (and label index).
  const std::vector<std::pair<const char*, int>> order = {
      {"SLZoom", -1}, {"SLLat", -1}, {"SLLong", -1}, {"STLabel", 0}, {"STLabel", 1}, {"STLabel", 2},
      {"MyPDSpace", -1}, {"PBReset", -1}, {"PBPoint", -1}, {"SLEScale", -1}, {"STLabel", 3}, {"PBLine", -1},
      {"PBPlane", -1}, {"PBSphere", -1}, {"PBRing", -1}, {"PBCylinder", -1}, {"STLabel", 4}, {"Separator1", -1},
      {"Separator2", -1}, {"ObjectList", -1}, {"STLabel", 5}, {"DeleteButton", -1}, {"Edit", -1},
      {"CBDotMatrix", -1}, {"XArrows", -1}, {"EFX", -1}, {"YArrows", -1}, {"EFY", -1}, {"ZArrows", -1},
      {"EFZ", -1}, {"STLabel", 7}, {"STLabel", 8}, {"STLabel", 9}, {"Separator3", -1}, {"STLabel", 6},
      {"CBTest", -1}, {"STLabel", 10}, {"PMShow", -1}, {"Separator4", -1}, {"SLScan", -1}, {"STLabel", 11}};
  ASSERT_EQ(w->ControlCount(), 41);
  for (int i = 0; i < 41; ++i) {
    const auto& [name, index] = order[static_cast<std::size_t>(i)];
    QWidget* expected = index < 0 ? w->Control(name) : w->Control(name, index);
    EXPECT_EQ(w->ControlAt(i), expected) << i << " " << name;
  }
  EXPECT_EQ(w->ControlAs<StaticText>("STLabel", 4)->Text(), "CHARGE SETUPS");

  // The picture: black sky with the red, green and blue axis lines.
  QApplication::processEvents();
  const QImage frame = view->grabFramebuffer();
  w->grab().save("/tmp/voltix_start.png");
  EXPECT_GT(CountColour(frame, QColor(0, 0, 0)), frame.width() * frame.height() / 2);
  EXPECT_GT(CountColour(frame, QColor(255, 0, 0), 90), 20);
  EXPECT_GT(CountColour(frame, QColor(0, 255, 0), 90), 20);
}

TEST_F(AppTest, GrowingTheWindowGrowsTheViewAndKeepsTheColumnsAtTheirEdges) {
  const QRect view0 = view->geometry();
  const QRect reset0 = C<PushButton>("PBReset").geometry();
  const QRect zoom0 = C<Slider>("SLZoom").geometry();
  const QRect list0 = C<ListBox>("ObjectList").geometry();
  EXPECT_EQ(view0, QRect(0, 0, 755, 550));
  EXPECT_EQ(reset0, QRect(771, 9, 69, 20));

  w->resize(w->width() + 200, w->height() + 100);
  QApplication::processEvents();
  EXPECT_EQ(view->geometry(), QRect(0, 0, 955, 650));
  EXPECT_EQ(C<PushButton>("PBReset").geometry(), reset0.translated(200, 0));
  EXPECT_EQ(C<ListBox>("ObjectList").geometry(), list0.translated(200, 0));
  EXPECT_EQ(C<Slider>("SLZoom").geometry(), zoom0.translated(0, 100));
  EXPECT_EQ(w->Control("Separator4")->geometry().topLeft(), QPoint(951, 652));

  // It cannot shrink below its design size.
  w->resize(400, 300);
  QApplication::processEvents();
  EXPECT_GE(w->Width(), 860);
  EXPECT_GE(w->Height(), 621);
  EXPECT_EQ(view->geometry().size(), QSize(755, 550));
}

TEST_F(AppTest, MenuBarHoldsItsHeadingsItemsAndShortcuts) {
  auto menu = MainMenu::Shared();
  ASSERT_EQ(menu->Count(), 3);
  EXPECT_EQ(menu->Children()[0]->Text, "&File");
  EXPECT_EQ(menu->Children()[1]->Text, "&Edit");
  EXPECT_EQ(menu->Children()[2]->Text, "Help");
  EXPECT_NE(std::dynamic_pointer_cast<QuitMenuItem>(menu->Find("FileQuit")), nullptr);
  std::vector<std::string> edit;
  for (const auto& item : menu->Child("EditMenu")->Children()) edit.push_back(item->Text);
  EXPECT_EQ(edit, (std::vector<std::string>{"Undo", "-", "Cut", "Copy", "Paste", "Clear"}));
  EXPECT_EQ(menu->Find("HelpAbout")->Text, "AboutVoltix...");
  // The window reaches the items of its bar by name.
  EXPECT_EQ(w->GetMenuBar(), menu);
  EXPECT_EQ(w->FileQuit(), menu->Find("FileQuit"));
  EXPECT_EQ(w->EditCopy()->KeyboardShortcut, "Cmd+C");
  EXPECT_TRUE(w->UntitledMenu0()->IsSeparator());
  EXPECT_EQ(w->UntitledMenu1(), nullptr);
  EXPECT_EQ(w->MenuAction("FileQuit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_EQ(w->MenuAction("EditCopy")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
  EXPECT_TRUE(w->MenuAction("EditClear")->shortcut().isEmpty());

  // The Edit items change nothing of the main window's own state.
  w->ChooseMenuItem("EditClear");
  w->ChooseMenuItem("EditUndo");
  EXPECT_EQ(ViewObjects(), 3);
  EXPECT_EQ(w->EScale, 150000.0);
}

TEST_F(AppTest, AboutWindowShowsThePageReadOnceAndComesForwardAgain) {
  EXPECT_TRUE(w->ChooseMenuItem("HelpAbout"));
  QApplication::processEvents();
  AboutWndo* about = Window::LiveWindow<AboutWndo>();
  ASSERT_NE(about, nullptr);
  EXPECT_TRUE(about->isVisible());
  EXPECT_EQ(about->Title(), "About Voltix");
  EXPECT_EQ(about->Width(), 763);
  EXPECT_EQ(about->Height(), 653);
  auto& viewer = about->ControlRef<HTMLViewer>("HTMLViewer1");
  EXPECT_EQ(viewer.geometry(), QRect(20, 14, 723, 619));
  const QString page = viewer.toPlainText();
  EXPECT_TRUE(page.contains("Adding charges"));
  EXPECT_TRUE(page.contains("test dot"));
  EXPECT_EQ(AboutVoltixReads(), 1);

  // A second choice brings the same window forward and reads nothing.
  EXPECT_TRUE(w->ChooseMenuItem("HelpAbout"));
  QApplication::processEvents();
  EXPECT_EQ(Window::LiveWindow<AboutWndo>(), about);
  EXPECT_EQ(AboutVoltixReads(), 1);

  // Edit > Copy acts on the viewer while the About window is in front.
  viewer.selectAll();
  QApplication::clipboard()->clear();
  EXPECT_TRUE(about->ChooseMenuItem("EditCopy"));
  EXPECT_TRUE(QApplication::clipboard()->text().contains("Voltix"));

  // Closing it leaves the program running; the next choice makes a new
  // window with the same page, still without reading it again.
  about->close();
  QTest::qWait(50);
  QApplication::processEvents();
  EXPECT_EQ(Window::LiveWindow<AboutWndo>(), nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->ChooseMenuItem("HelpAbout"));
  AboutWndo* again = Window::LiveWindow<AboutWndo>();
  ASSERT_NE(again, nullptr);
  EXPECT_TRUE(again->ControlRef<HTMLViewer>("HTMLViewer1").toPlainText().contains("Adding charges"));
  EXPECT_EQ(AboutVoltixReads(), 1);
  delete again;
}

namespace {

// Runs the event loop after `start` has been queued; the exit code it returns,
// or 99 when nothing quit within ten seconds.
int ExitCodeOfEventLoopAfter(QObject* context, const std::function<void()>& start) {
  QTimer::singleShot(0, context, start);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QApplication::exit(99); });
  guard.start(10000);
  const int code = QApplication::exec();
  // Closing the last window also posts the toolkit's own quit, which would
  // end the next event loop of the process (the next test's sheet or message
  // box) as soon as it started.
  QCoreApplication::removePostedEvents(QCoreApplication::instance(), QEvent::Quit);
  return code;
}

}  // namespace

TEST_F(AppTest, ClosingTheMainWindowQuits) {
  EXPECT_EQ(ExitCodeOfEventLoopAfter(w, [this] { w->close(); }), 0);
}

TEST_F(AppTest, FileQuitQuits) {
  EXPECT_EQ(ExitCodeOfEventLoopAfter(w, [this] { w->ChooseMenuItem("FileQuit"); }), 0);
}

TEST(StartUpTest, WithoutOpenGLTheProgramSaysSoAndEndsWithoutShowingItsWindow) {
  // The program itself, started where no OpenGL context can be had. Its
  // message box is answered with a real Return key; every top-level window
  // it maps is counted.
  XInput x;
  ASSERT_TRUE(x.Usable());
  x.WatchMappedWindows();
  QProcess voltix;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("QT_XCB_GL_INTEGRATION", "none");
  voltix.setProcessEnvironment(env);
  voltix.start(VOLTIX_EXECUTABLE, QStringList{});
  ASSERT_TRUE(voltix.waitForStarted(10000)) << voltix.errorString().toStdString();
  const auto pid = static_cast<std::uint32_t>(voltix.processId());

  // Waits are bounded; on failure the QProcess destructor ends the program.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  std::optional<xcb_window_t> box;
  while (!box) {
    const auto mapped = x.NextMappedWindow(deadline);
    if (!mapped) break;
    if (x.WindowPid(*mapped) == pid) box = mapped;
  }
  ASSERT_TRUE(box) << "no window appeared";
  // Titled with the program's name as its other windows show it.
  EXPECT_EQ(x.WindowTitle(*box), std::optional<std::string>("Voltix"));
  x.Focus(*box);
  x.Key(0xff0d);  // Return: the box's OK

  ASSERT_TRUE(voltix.waitForFinished(30000)) << "still running after the message was answered";
  EXPECT_EQ(voltix.exitStatus(), QProcess::NormalExit) << "crashed: " << voltix.readAllStandardError().toStdString();
  EXPECT_EQ(voltix.exitCode(), 0);
  // The message box was its only window: the main window, whose view cannot
  // draw, was never shown. A window gone before it could be asked counts.
  x.Sync();
  int more = 0;
  while (const auto mapped = x.NextMappedWindow(std::chrono::steady_clock::now())) {
    const auto owner = x.WindowPid(*mapped);
    if (!owner || *owner == pid) ++more;
  }
  EXPECT_EQ(more, 0);
}
