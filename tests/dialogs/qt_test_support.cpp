#include "qt_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <system_error>

namespace dialogs_test {
namespace {

class QtEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "dialogs_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName("Install");
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] testing::Environment* const kQtEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

void Poll(std::function<void(QWidget*)> action, QWidget* except, int triesLeft) {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != nullptr && modal != except && modal->isVisible()) {
    action(modal);
    return;
  }
  if (triesLeft == 0) {
    ADD_FAILURE() << "no modal window appeared";
    // Leave every modal loop, so that the test can end.
    while (QWidget* w = QApplication::activeModalWidget()) {
      w->close();
      if (QApplication::activeModalWidget() == w) break;
    }
    return;
  }
  QTimer::singleShot(5, [action = std::move(action), except, triesLeft] {
    Poll(action, except, triesLeft - 1);
  });
}

}  // namespace

void WhenModal(std::function<void(QWidget*)> action, QWidget* except) {
  QTimer::singleShot(0, [action = std::move(action), except] { Poll(action, except, 4000); });
}

void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QApplication::sendEvent(target, &release);
}

TempFolder::TempFolder() {
  savedCwd_ = std::filesystem::current_path();
  std::string pattern = (std::filesystem::temp_directory_path() / "dialogs-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "mkdtemp");
  }
  // The folder as the system names it, so that comparisons with getcwd() hold even
  // when the temporary folder is reached through a symbolic link.
  path_ = std::filesystem::canonical(pattern);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::current_path(savedCwd_, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::MakeFolder(const std::string& relative) const {
  std::filesystem::path p = path_ / relative;
  std::filesystem::create_directories(p);
  return p.string();
}

std::string TempFolder::WriteFile(const std::string& relative, const std::string& bytes) const {
  std::filesystem::path p = path_ / relative;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return p.string();
}

std::string CurrentDirectory() {
  std::string buffer(4096, '\0');
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return {};
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return buffer;
}

}  // namespace dialogs_test
