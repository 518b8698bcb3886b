// One QApplication for the whole test executable, made when the tests start (after
// main has prepared the environment, for executables with a main of their own).
#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

namespace {

class QtApplication : public testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName("Install");
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] testing::Environment* const kQtApplication = testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace
