// The player movie's picture on a real X server (Xvfb), whose OpenGL the
// video renderer uses; and the software renderer taking over wherever
// OpenGL is refused or cannot start. Screenshots go to
// TAMBOREL_SCREENSHOT_DIR when set; run with QT_SCALE_FACTOR=2 for 200 %.
#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/flash/picture_check.h"
#include "tests/support/xvfb_display.h"

// Fontconfig, the X libraries and Mesa keep their allocations to the end
// of the process.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\nleak:libX11.so\nleak:libxcb\nleak:libGLX_mesa.so\n"
         "leak:swrast_dri.so\nleak:libLLVM\n";
}

namespace {

using flash::VideoRenderer;

// Stopped when the program ends; the application keeps its connection to the last.
testsupport::XvfbDisplay& Display() {
  static testsupport::XvfbDisplay display(1280, 1024);
  return display;
}

class OpenGLPictureTest : public flashtest::PlayerPictureTest {
 protected:
  void SetUp() override {
    if (Display().display().empty()) GTEST_SKIP() << "Xvfb is not installed";
    setenv("DISPLAY", Display().display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // Xvfb's OpenGL is Mesa's CPU rasteriser, which only a request for
    // OpenGL takes.
    flash::SetRendererChoice(flash::RendererChoice::OpenGL);
    flashtest::PlayerPictureTest::SetUp();
  }
  void TearDown() override { flash::SetRendererChoice(flash::RendererChoice::Automatic); }
};

TEST_F(OpenGLPictureTest, ShowsTheTestPictureAtNativeSize) {
  CheckPicture(100, QSize(400, 300), VideoRenderer::OpenGL);
}

TEST_F(OpenGLPictureTest, ShowsTheTestPictureZoomedTwice) {
  CheckPicture(200, QSize(700, 520), VideoRenderer::OpenGL);
}

// The software renderer draws where it is chosen, and where the choice is
// left to the program and OpenGL would run on the CPU (as Xvfb's does).
TEST_F(OpenGLPictureTest, SoftwareWhereChosenOrWhereOpenGLRunsOnTheCpu) {
  for (const auto choice : {flash::RendererChoice::Software, flash::RendererChoice::Automatic}) {
    SCOPED_TRACE(static_cast<int>(choice));
    flash::SetRendererChoice(choice);
    // A fresh movie, whose player starts with this choice.
    control_->LoadMovie(0, QString::fromStdString(moviePath_));
    log_->Clear();
    CheckPicture(100, QSize(400, 300), VideoRenderer::Software);
  }
}

// Run by test entries of their own, with an environment in which OpenGL
// fails: Qt without its OpenGL integration (no context at all), or Mesa
// reporting a version libmpv's renderer refuses (a context that libmpv then
// turns down). Either way software takes over.
TEST_F(OpenGLPictureTest, SoftwareTakesOverWhereOpenGLFails) {
  if (!std::getenv("MESA_GL_VERSION_OVERRIDE") && !std::getenv("QT_XCB_GL_INTEGRATION"))
    GTEST_SKIP() << "needs an environment in which OpenGL fails";
  CheckPicture(100, QSize(400, 300), VideoRenderer::Software);
}

}  // namespace
