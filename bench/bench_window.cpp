// The real main window at the size a user gives it (1280 × 900), driven the
// way a user drives it, over planes of n × n point charges built through the
// plane sheet's Done: the field pass after Done, one Latitude step, Latitude
// changes arriving while frames are drawn, selecting the other list row,
// Reset, Delete, destroying the window (Quit) and the whole end of the
// program after File > Quit (QuitProgram, in a child process). Memory is read
// from /proc/self/statm and from the allocator: bytes per point charge after
// a pass, and memory after Delete and Reset against its value at start-up.
// frame_ms is the part of a time the view spent drawing; WithoutFrames does
// the pass and the selection with the window hidden, so that none is drawn.
// renderer_* is what the view's renderer holds of instance records after
// its last frame (GPU buffers and lists), within the memory reported.
//
// Needs a display: xvfb-run -a -s "-screen 0 1600x1200x24" build/release/bench/bench_window
// Sizes are the plane's side: 10, 100, 316 and 1000 (100 to 10^6 charges).
#include "app/appl.h"
#include "app/main_wndo.h"
#include "charges/charged_object.h"
#include "charges/sheet_fields.h"
#include "framework/3d/scene_renderer.h"
#include "framework/runtime/runtime.h"
#include "framework/ui/controls.h"
#include "ping_probe.h"
#include "scene/pd3d_space.h"
#include "sheets/sheet_window.h"
#include "x_input.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace {

std::int64_t g_startupResident = 0;

std::int64_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::int64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::int64_t>(sysconf(_SC_PAGESIZE));
}

double seconds(const std::chrono::steady_clock::time_point& since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

MainWndo& window() {
  MainWndo* w = MainWndo::Shared();
  if (w->width() != 1280 || w->height() != 900) {
    w->resize(1280, 900);
    (void)QTest::qWaitForWindowExposed(w);
    QApplication::processEvents();
  }
  return *w;
}

PD3DSpace& view() { return *window().MyPDSpace(); }

std::uint64_t frames() { return view().renderer().framesDrawn(); }

// Heap bytes in use (small chunks and mapped blocks), from the allocator.
std::int64_t heapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<std::int64_t>(m.uordblks + m.hblkhd);
}
std::int64_t g_startupHeap = 0;

// Time the view spends in its paint events (where it draws its frame), so a
// benchmark can tell the drawing from the rest of its work.
class PaintClock : public QObject {
public:
  explicit PaintClock(QWidget* view) : view_(view) { view_->installEventFilter(this); }
  ~PaintClock() override {
    if (view_) view_->removeEventFilter(this);
  }
  [[nodiscard]] double seconds() const { return seconds_; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != view_ || event->type() != QEvent::Paint || inside_) return false;
    inside_ = true;
    const auto t0 = std::chrono::steady_clock::now();
    QCoreApplication::sendEvent(watched, event);
    seconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    inside_ = false;
    return true;
  }

private:
  QPointer<QWidget> view_;
  double seconds_ = 0.0;
  bool inside_ = false;
};

// Lets queued events run until a frame newer than `since` is on screen.
void awaitFrame(std::uint64_t since) {
  QElapsedTimer t;
  t.start();
  while (frames() <= since && t.elapsed() < 60000) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Lets every queued event and deferred handler run.
void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

PushButton* sheetButton(Window& sheet, const std::string& caption) {
  for (int i = 0; i < sheet.ControlCount(); ++i) {
    auto* b = dynamic_cast<PushButton*>(sheet.ControlAt(i));
    if (b != nullptr && b->Caption() == caption) return b;
  }
  return nullptr;
}

// Presses a charge button; once its sheet is up, `fill` writes the fields and
// Done is pressed. Returns the seconds from Done until the window has drawn
// its picture and takes input again.
template <class Fill>
double throughSheet(const char* button, ChargeKind kind, const Fill& fill) {
  MainWndo& w = window();
  auto& sheet = *dynamic_cast<Window*>(SheetFor(kind));
  std::chrono::steady_clock::time_point done{};
  bool pressed = false;
  QTimer poll;
  poll.setInterval(2);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (pressed || !sheet.isVisible() || !sheet.IsShownModally()) return;
    pressed = true;
    fill(*SheetFor(kind));
    done = std::chrono::steady_clock::now();
    QTest::mouseClick(sheetButton(sheet, "Done"), Qt::LeftButton);
  });
  poll.start();
  QTest::mouseClick(w.ControlAs<PushButton>(button), Qt::LeftButton);
  poll.stop();
  settle();
  return seconds(done);
}

double addPlane(int side) {
  return throughSheet("PBPlane", ChargeKind::Plane,
                      [side](ChargeSheet& s) { s.SetFieldText(PlaneField::Count, std::to_string(side)); });
}

double addPoint() {
  return throughSheet("PBPoint", ChargeKind::Point, [](ChargeSheet& s) {
    s.SetFieldText(PointField::X, "40");
    s.SetFieldText(PointField::Y, "40");
    s.SetFieldText(PointField::Z, "40");
  });
}

// A ring of `count` point charges, every other field as the sheet opens.
double addRing(int count, bool grid) {
  return throughSheet("PBRing", ChargeKind::Ring, [count, grid](ChargeSheet& s) {
    s.SetFieldText(RingField::Count, std::to_string(count));
    s.SetGridValue(grid);
  });
}

// A cylinder of `rings` rings, every other field as the sheet opens.
double addCylinder(int rings, bool grid) {
  return throughSheet("PBCylinder", ChargeKind::Cylinder, [rings, grid](ChargeSheet& s) {
    s.SetFieldText(CylinderField::Rings, std::to_string(rings));
    s.SetGridValue(grid);
  });
}

void click(const char* button) {
  QTest::mouseClick(window().ControlAs<PushButton>(button), Qt::LeftButton);
}

void reset() {
  click("PBReset");
  settle();
}

void clickRow(int row) {
  auto& list = *window().ControlAs<ListBox>("ObjectList");
  const QRect r = list.visualItemRect(list.item(row));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, r.center());
}

void setCharges(benchmark::State& state, int side) {
  state.counters["charges"] = static_cast<double>(side) * side;
}

// --- Done -> arrows, and the memory of the scene it leaves --------------------

// Besides the time: the share of it the view spent drawing (frame_ms), and
// per point charge the resident bytes and the heap bytes in use over their
// values at start-up once the pass is done.
void BM_DoneToArrows(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const double charges = static_cast<double>(side) * side;
  double resident = 0.0, heap = 0.0, frame = 0.0, held = 0.0;
  for (auto _ : state) {
    reset();
    const PaintClock paint(&view());
    state.SetIterationTime(addPlane(side));
    frame += paint.seconds();
    resident = static_cast<double>(residentBytes() - g_startupResident) / charges;
    heap = static_cast<double>(heapInUse() - g_startupHeap) / charges;
    held = static_cast<double>(view().renderer().lastFrameStats().heldBytes) / charges;
  }
  reset();
  setCharges(state, side);
  state.counters["renderer_bytes_per_charge"] = held;
  state.counters["frame_ms"] = 1e3 * frame / static_cast<double>(state.iterations());
  state.counters["resident_bytes_per_charge"] = resident;
  state.counters["heap_bytes_per_charge"] = heap;
}

// --- one Latitude step: from the slider's change to the new picture -----------

void BM_LatitudeStep(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  reset();
  addPlane(side);
  auto& lat = *window().ControlAs<Slider>("SLLat");
  int step = 1;
  const PaintClock paint(&view());
  for (auto _ : state) {
    const std::uint64_t before = frames();
    const auto t0 = std::chrono::steady_clock::now();
    lat.SetValue(lat.Value() + step);
    awaitFrame(before);
    state.SetIterationTime(seconds(t0));
    step = -step;
  }
  state.counters["frame_ms"] = 1e3 * paint.seconds() / static_cast<double>(state.iterations());
  settle();
  reset();
  setCharges(state, side);
}

// --- value changes that arrive while frames are drawn ---------------------------

// `moves` Latitude changes sent by another thread every `gapMs` milliseconds
// (as a drag or a series of clicks reaches the window while it draws).
// Reports the pictures drawn for them and how long after the last change the
// last picture was on screen.
void BM_LatitudeMoves(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const int moves = static_cast<int>(state.range(1));
  const int gapMs = static_cast<int>(state.range(2));
  reset();
  addPlane(side);
  auto& lat = *window().ControlAs<Slider>("SLLat");
  double pictures = 0.0, lag = 0.0;
  int direction = 1;
  for (auto _ : state) {
    const int start = lat.Value();
    const int target = start + direction * moves;
    const std::uint64_t before = frames();
    std::atomic<bool> sent{false};
    std::chrono::steady_clock::time_point lastSent{};
    const auto t0 = std::chrono::steady_clock::now();
    std::thread sender([&] {
      for (int i = 1; i <= moves; ++i) {
        const int value = start + direction * i;
        QMetaObject::invokeMethod(&lat, [&lat, value] { lat.SetValue(value); }, Qt::QueuedConnection);
        if (i == moves) lastSent = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
      }
      sent = true;
    });
    // Until every change has arrived and no further picture follows.
    std::uint64_t seen = frames();
    QElapsedTimer quiet;
    quiet.start();
    while (!sent || lat.Value() != target || quiet.elapsed() < 300) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
      if (frames() != seen) {
        seen = frames();
        lag = seconds(lastSent);
        quiet.restart();
      }
    }
    sender.join();
    state.SetIterationTime(seconds(t0));
    pictures = static_cast<double>(frames() - before);
    direction = -direction;
  }
  reset();
  setCharges(state, side);
  state.counters["pictures"] = pictures;
  state.counters["last_picture_after_s"] = lag;
}

// --- selecting the other row of the list ------------------------------------------

void BM_SelectOtherRow(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  reset();
  addPlane(side);
  addPoint();  // selected: the plane is drawn in its normal colours
  int row = 0;
  const PaintClock paint(&view());
  for (auto _ : state) {
    const std::uint64_t before = frames();
    const auto t0 = std::chrono::steady_clock::now();
    clickRow(row);
    awaitFrame(before);
    state.SetIterationTime(seconds(t0));
    row = 1 - row;
  }
  state.counters["frame_ms"] = 1e3 * paint.seconds() / static_cast<double>(state.iterations());
  settle();
  reset();
  setCharges(state, side);
}

// --- Reset and Delete ---------------------------------------------------------------

void reportMemoryOverStartup(benchmark::State& state) {
  state.counters["resident_MB_over_startup"] = static_cast<double>(residentBytes() - g_startupResident) / 1e6;
  state.counters["heap_MB_over_startup"] = static_cast<double>(heapInUse() - g_startupHeap) / 1e6;
  state.counters["renderer_MB"] = static_cast<double>(view().renderer().lastFrameStats().heldBytes) / 1e6;
}

void BM_Reset(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  for (auto _ : state) {
    addPlane(side);
    const auto t0 = std::chrono::steady_clock::now();
    reset();
    state.SetIterationTime(seconds(t0));
  }
  setCharges(state, side);
  reportMemoryOverStartup(state);
}

void BM_DeleteOnlyObject(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  reset();
  for (auto _ : state) {
    addPlane(side);  // the new object is the selected one
    const auto t0 = std::chrono::steady_clock::now();
    click("DeleteButton");
    settle();
    state.SetIterationTime(seconds(t0));
  }
  setCharges(state, side);
  reportMemoryOverStartup(state);
}

// --- Quit: the window and its scene destroyed, as at the end of the program -------

void BM_Quit(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  for (auto _ : state) {
    reset();
    addPlane(side);
    const auto t0 = std::chrono::steady_clock::now();
    delete &window();
    QApplication::processEvents();
    state.SetIterationTime(seconds(t0));
  }
  window();  // the next benchmark finds a window again
  settle();
  setCharges(state, side);
  reportMemoryOverStartup(state);
}

// --- grid outlines --------------------------------------------------------------

// Mean seconds of `steps` Latitude steps, each from the slider's change to
// the new picture.
double latitudeSteps(int steps) {
  auto& lat = *window().ControlAs<Slider>("SLLat");
  double total = 0.0;
  int step = 1;
  for (int i = 0; i < steps; ++i) {
    const std::uint64_t before = frames();
    const auto t0 = std::chrono::steady_clock::now();
    lat.SetValue(lat.Value() + step);
    awaitFrame(before);
    total += seconds(t0);
    step = -step;
  }
  return total / steps;
}

xcb_window_t nativeWindow() { return static_cast<xcb_window_t>(window().winId()); }

// A ring of n point charges with its grid outline shown or not (the second
// argument): Done until the picture, a Latitude step, resident memory above
// start-up, and the longest the window left the window manager's ping
// unanswered meanwhile; then Delete, and the memory left above start-up.
void BM_RingOutline(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const bool grid = state.range(1) != 0;
  double latitude = 0.0, resident = 0.0, silence = 0.0, afterDelete = 0.0;
  for (auto _ : state) {
    reset();
    PingProbe ping(nativeWindow());
    state.SetIterationTime(addRing(count, grid));
    latitude = latitudeSteps(4);
    resident = static_cast<double>(residentBytes() - g_startupResident);
    silence = ping.LongestSilence();
    click("DeleteButton");
    settle();
    afterDelete = static_cast<double>(residentBytes() - g_startupResident);
  }
  reset();
  state.counters["charges"] = count;
  state.counters["latitude_ms"] = 1e3 * latitude;
  state.counters["resident_MB_over_startup"] = resident / 1e6;
  state.counters["after_delete_MB_over_startup"] = afterDelete / 1e6;
  state.counters["longest_unanswered_ping_s"] = silence;
}

// Edit of a plane with nothing changed, Done: resident memory above start-up
// after the pass before the Edit and after the Edit's.
void BM_EditUnchanged(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  double before = 0.0, after = 0.0;
  for (auto _ : state) {
    reset();
    addPlane(side);
    before = static_cast<double>(residentBytes() - g_startupResident);
    MainWndo& w = window();
    auto& sheet = *dynamic_cast<Window*>(SheetFor(ChargeKind::Plane));
    std::chrono::steady_clock::time_point done{};
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (done != std::chrono::steady_clock::time_point{} || !sheet.isVisible() || !sheet.IsShownModally()) return;
      done = std::chrono::steady_clock::now();
      QTest::mouseClick(sheetButton(sheet, "Done"), Qt::LeftButton);
    });
    poll.start();
    QTest::mouseClick(w.ControlAs<PushButton>("Edit"), Qt::LeftButton);
    poll.stop();
    settle();
    state.SetIterationTime(seconds(done));
    after = static_cast<double>(residentBytes() - g_startupResident);
  }
  reset();
  setCharges(state, side);
  state.counters["before_edit_MB_over_startup"] = before / 1e6;
  state.counters["after_edit_MB_over_startup"] = after / 1e6;
  state.counters["after_over_before"] = before > 0.0 ? after / before : 0.0;
}

// `clicks` real clicks (made by the X server) on the Arrow Scale slider's
// groove, `gap` ms apart, on a plane of side × side charges: the time from
// the first click until the program is idle with the last value's picture.
void BM_ArrowScaleClicks(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const int clicks = static_cast<int>(state.range(1));
  const int gapMs = static_cast<int>(state.range(2));
  XInput input;
  if (!input.Usable()) {
    state.SkipWithError("no XTest on this display");
    return;
  }
  reset();
  addPlane(side);
  auto& scale = *window().ControlAs<Slider>("SLEScale");
  double passes = 0.0;
  for (auto _ : state) {
    state.PauseTiming();
    scale.SetValue(0);
    settle();
    state.ResumeTiming();
    const QPoint groove = scale.mapToGlobal(QPoint(scale.width() - 3, scale.height() / 2));
    const std::uint64_t before = frames();
    std::atomic<bool> sent{false};
    const auto t0 = std::chrono::steady_clock::now();
    std::thread clicker([&] {
      for (int i = 0; i < clicks; ++i) {
        input.Click(groove);
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
      }
      sent = true;
    });
    // Waits in an event loop, as the program waits between events: clicks
    // held back during a pass reach it once the loop has nothing left to do.
    std::chrono::steady_clock::time_point last = t0;
    std::uint64_t seen = frames();
    QElapsedTimer quiet;
    quiet.start();
    QEventLoop loop;
    QTimer check;
    check.setInterval(5);
    QObject::connect(&check, &QTimer::timeout, [&] {
      if (frames() != seen) {
        seen = frames();
        last = std::chrono::steady_clock::now();
        quiet.restart();
      }
      if (sent && scale.Value() == clicks && !window().Busy() && quiet.elapsed() >= 300) loop.quit();
    });
    QTimer::singleShot(60'000, &loop, &QEventLoop::quit);
    check.start();
    loop.exec();
    clicker.join();
    if (scale.Value() != clicks) {
      state.SkipWithError(("the slider stands at " + std::to_string(scale.Value()) + " after " +
                           std::to_string(clicks) + " clicks")
                              .c_str());
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(last - t0).count());
    passes = static_cast<double>(frames() - before);
  }
  reset();
  setCharges(state, side);
  state.counters["pictures"] = passes;
}

// The largest objects the program accepts, with their outlines or without
// (the second argument): a ring of 2,000,000 and a cylinder of 166,666 rings
// (1,999,992 charges). Built, drawn, turned four Latitude steps and deleted;
// the longest unanswered ping over all of it.
void BM_LimitsPing(benchmark::State& state) {
  const bool cylinder = state.range(0) != 0;
  const bool grid = state.range(1) != 0;
  double latitude = 0.0;
  double silence[3] = {0.0, 0.0, 0.0};  // building, turning, deleting
  SceneRenderer::Stats last;
  for (auto _ : state) {
    reset();
    const auto t0 = std::chrono::steady_clock::now();
    {
      PingProbe ping(nativeWindow());
      if (cylinder) {
        addCylinder(166'666, grid);
      } else {
        addRing(2'000'000, grid);
      }
      silence[0] = ping.LongestSilence();
    }
    {
      PingProbe ping(nativeWindow());
      latitude = latitudeSteps(4);
      silence[1] = ping.LongestSilence();
    }
    last = view().renderer().lastFrameStats();
    {
      PingProbe ping(nativeWindow());
      click("DeleteButton");
      settle();
      silence[2] = ping.LongestSilence();
    }
    state.SetIterationTime(seconds(t0));
  }
  reset();
  // What the last frame held: spheres drawn as impostors and segments in
  // view, the number of them that lay on a twin drawn just before and were
  // left out, and the triangles of meshes.
  state.counters["impostors"] = last.impostors;
  state.counters["segments"] = last.segments;
  state.counters["coincident"] = last.coincident;
  state.counters["triangles"] = static_cast<double>(last.triangles);
  state.counters["latitude_ms"] = 1e3 * latitude;
  state.counters["unanswered_ping_build_s"] = silence[0];
  state.counters["unanswered_ping_turn_s"] = silence[1];
  state.counters["unanswered_ping_delete_s"] = silence[2];
}

// --- the same work with the window hidden, so that no frame is drawn: what
// the model and the scene take apart from the drawing -----------------------

// A field pass, then selecting the other row; heap bytes per charge that the
// model and the scene hold.
void BM_WithoutFrames(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  const double charges = static_cast<double>(side) * side;
  MainWndo& w = window();
  reset();
  w.hide();
  settle();
  const std::int64_t heapBefore = heapInUse();
  SheetFor(ChargeKind::Plane)->SetFieldText(PlaneField::Count, std::to_string(side));
  w.MakePlane();
  const double heap = static_cast<double>(heapInUse() - heapBefore) / charges;
  SheetFor(ChargeKind::Point)->SetFieldText(PointField::X, "40");
  w.MakePoint();
  double pass = 0.0, select = 0.0;
  int row = 0;
  for (auto _ : state) {
    auto t0 = std::chrono::steady_clock::now();
    w.CalcVoltix();
    pass += seconds(t0);
    t0 = std::chrono::steady_clock::now();
    w.ObjectList_CellClick(row, 0, 0, 0);
    const double s = seconds(t0);
    select += s;
    state.SetIterationTime(s);
    row = 1 - row;
  }
  w.show();
  (void)QTest::qWaitForWindowExposed(&w);
  reset();
  setCharges(state, side);
  state.counters["pass_ms"] = 1e3 * pass / static_cast<double>(state.iterations());
  state.counters["select_ms"] = 1e3 * select / static_cast<double>(state.iterations());
  state.counters["heap_bytes_per_charge"] = heap;
}

// --- Quit as the program does it: File > Quit in the event loop, then the
// program's shut-down and the end of the process. Each iteration runs this
// benchmark's own executable as a child that builds the plane and quits; the
// time runs from the choice of Quit until the child process has ended.

int quitChild(int argc, char** argv, int side, int fd) {
  {
    Appl app(argc, argv);
    SetUserAlertSink(UserAlertSink{[](const std::string&) {}, [] {}});
    MainWndo& w = window();
    (void)QTest::qWaitForWindowExposed(&w);
    settle();
    addPlane(side);
    QTimer::singleShot(0, [&w, fd] {
      const auto now = std::chrono::steady_clock::now().time_since_epoch();
      const std::string stamp = std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
      (void)!write(fd, stamp.data(), stamp.size());
      close(fd);
      w.FileQuit()->Action();
    });
    Appl::exec();
    ShutDownProgram();
  }
  return 0;
}

void BM_QuitProgram(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  for (auto _ : state) {
    int fds[2];
    if (pipe(fds) != 0) {
      state.SkipWithError("no pipe");
      return;
    }
    const std::string self = "/proc/self/exe";
    std::string mode = "--quit-child=" + std::to_string(side) + "," + std::to_string(fds[1]);
    char* args[] = {const_cast<char*>("bench_window"), mode.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, self.c_str(), nullptr, nullptr, args, environ) != 0) {
      state.SkipWithError("could not start the child");
      return;
    }
    close(fds[1]);
    std::string stamp;
    char buffer[64];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) stamp.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    const auto end = std::chrono::steady_clock::now().time_since_epoch();
    if (stamp.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the child did not quit normally");
      return;
    }
    const auto quitAt = std::chrono::nanoseconds(std::stoll(stamp));
    state.SetIterationTime(std::chrono::duration<double>(end - quitAt).count());
  }
  setCharges(state, side);
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int side : {10, 100, 316, 1000}) b->Arg(side);
  b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
}

}  // namespace

BENCHMARK(BM_DoneToArrows)->Apply(sizes);
BENCHMARK(BM_LatitudeStep)->Apply([](benchmark::internal::Benchmark* b) {
  for (int side : {10, 100, 316, 1000}) b->Arg(side);
  b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);
});
BENCHMARK(BM_LatitudeMoves)
    ->Args({316, 10, 30})
    ->Args({1000, 10, 30})
    ->Args({500, 30, 100})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_SelectOtherRow)->Apply(sizes);
BENCHMARK(BM_Reset)->Apply(sizes);
BENCHMARK(BM_DeleteOnlyObject)->Apply(sizes);
BENCHMARK(BM_Quit)->Apply(sizes);
BENCHMARK(BM_RingOutline)
    ->Args({100'000, 0})
    ->Args({100'000, 1})
    ->Args({1'000'000, 0})
    ->Args({1'000'000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);
BENCHMARK(BM_EditUnchanged)->Arg(1000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_ArrowScaleClicks)
    ->Args({500, 1, 20})
    ->Args({500, 10, 20})
    ->Args({500, 10, 5})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(2);
BENCHMARK(BM_LimitsPing)->Args({0, 1})->Args({1, 1})->Args({1, 0})->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK(BM_WithoutFrames)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);
BENCHMARK(BM_QuitProgram)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]).rfind("--quit-child=", 0) == 0) {
    int side = 0, fd = -1;
    if (std::sscanf(argv[1], "--quit-child=%d,%d", &side, &fd) != 2) return 2;
    return quitChild(argc, argv, side, fd);
  }
  Appl app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Message boxes and beeps are counted, not shown.
  SetUserAlertSink(UserAlertSink{[](const std::string& text) { std::fprintf(stderr, "message: %s\n", text.c_str()); },
                                 [] {}});
  MainWndo& w = window();
  if (!QTest::qWaitForWindowExposed(&w) || view().Objects() == nullptr) {
    std::fprintf(stderr, "no OpenGL view: run under a display (xvfb-run)\n");
    return 1;
  }
  settle();
  g_startupResident = residentBytes();
  g_startupHeap = heapInUse();
  std::printf("resident at start-up: %.1f MB\n", static_cast<double>(g_startupResident) / 1e6);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete MainWndo::LiveWindow<MainWndo>();
  return 0;
}
