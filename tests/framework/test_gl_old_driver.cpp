// A display whose OpenGL is older than the view needs: the view says why it
// cannot draw instead of showing an empty sky that looks like an empty scene.
// The driver's version is chosen at start-up, so the check runs in a child
// process of this test program, with Mesa told to offer OpenGL 2.1.
#include "gl_test_support.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdlib>
#include <utility>

using namespace gltest;

namespace {

constexpr const char* kChildMark = "VOLTIX_OLD_DRIVER_CHILD";

// How many pixels of the picture stand out from its sky, and how many are sky.
std::pair<int, int> wordsAndSky(const QImage& picture, std::uint32_t skyColor) {
  int words = 0;
  int sky = 0;
  const int skyGray = qGray(static_cast<QRgb>(skyColor));
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb c = picture.pixel(x, y);
      if (std::abs(qGray(c) - skyGray) > 100) ++words;
      if (isSky(c, skyColor)) ++sky;
    }
  }
  return {words, sky};
}

void checkTheViewSaysWhy() {
  Harness h(400, 200);
  const SceneRenderer& renderer = h.view->renderer();
  // The reason is written across the middle of the view, readable on a
  // light sky and on the main window's black one.
  for (const std::uint32_t skyColor : {0xC8C8FFu, 0x000000u}) {
    h.view->SkyColor = skyColor;
    const QImage picture = h.view->grabFramebuffer();
    if (renderer.usable()) GTEST_SKIP() << "this driver ignores Mesa's version override";
    const auto [words, sky] = wordsAndSky(picture, skyColor);
    EXPECT_GT(words, 100) << std::hex << skyColor;
    EXPECT_GT(sky, picture.width() * picture.height() / 2) << std::hex << skyColor;
    EXPECT_TRUE(isSky(picture.pixel(2, 2), skyColor));
  }
  EXPECT_TRUE(renderer.failure().contains("OpenGL 3.3")) << renderer.failure().toStdString();
  EXPECT_TRUE(renderer.failure().contains("2.1")) << renderer.failure().toStdString();
}

}  // namespace

TEST(GlOldDriver, TheViewSaysWhyItCannotDraw) {
  if (qEnvironmentVariableIsSet(kChildMark)) {
    checkTheViewSaysWhy();
    return;
  }
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("MESA_GL_VERSION_OVERRIDE", "2.1");
  env.insert(kChildMark, "1");
  QProcess child;
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=GlOldDriver.*"});
  ASSERT_TRUE(child.waitForFinished(120000));
  const QString out = QString::fromUtf8(child.readAll());
  if (out.contains("[  SKIPPED ]")) GTEST_SKIP() << "this driver ignores Mesa's version override";
  EXPECT_EQ(child.exitStatus(), QProcess::NormalExit) << out.toStdString();
  EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains("[  PASSED  ] 1 test")) << out.toStdString();
}
