// The player movie's picture through the software renderer, which needs
// no display.
#include <gtest/gtest.h>

#include "tests/flash/picture_check.h"

namespace {

using flash::VideoRenderer;
using flashtest::PlayerPictureTest;

TEST_F(PlayerPictureTest, ShowsTheTestPictureAtNativeSize) {
  flash::SetRendererChoice(flash::RendererChoice::Software);
  CheckPicture(100, QSize(400, 300), VideoRenderer::Software);
}

TEST_F(PlayerPictureTest, ShowsTheTestPictureZoomedTwice) {
  flash::SetRendererChoice(flash::RendererChoice::Software);
  CheckPicture(200, QSize(700, 520), VideoRenderer::Software);
}

}  // namespace
