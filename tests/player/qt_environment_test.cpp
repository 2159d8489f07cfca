// One QApplication for the whole test program, on the offscreen platform
// unless a display was asked for.
#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>

namespace {

class QtEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "test_player";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};

const testing::Environment* const kQt = testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
