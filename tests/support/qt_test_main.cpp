#include <gtest/gtest.h>

#include "framework/ui/application.h"
#include "shape_reports.h"

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#include <dlfcn.h>
#include <link.h>

#include <QOpenGLContext>

#include <string>
#include <vector>

namespace {

// The GL driver keeps blocks for the life of the process, held by its own
// globals. At exit it is unloaded before the sanitizer's leak check runs, and
// those blocks would then be reported as leaks. Loading it here and keeping
// every library loaded so far mapped leaves them reachable, so that the only
// leaks reported are real ones.
void keepGLDriverLoadedForTheLeakCheck() {
  QOpenGLContext probe;
  probe.create();
  std::vector<std::string> loaded;
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* names) {
        if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') {
          static_cast<std::vector<std::string>*>(names)->emplace_back(info->dlpi_name);
        }
        return 0;
      },
      &loaded);
  for (const std::string& name : loaded) dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

}  // namespace
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no display; running them does.
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  if (std::getenv("DISPLAY") == nullptr && std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
  }
  FailTestsOnShapeReports();
  // The program's own application object, so tests see its event boundary.
  Application app(argc, argv);
#if defined(__SANITIZE_ADDRESS__)
  keepGLDriverLoadedForTheLeakCheck();
#endif
  return RUN_ALL_TESTS();
}
