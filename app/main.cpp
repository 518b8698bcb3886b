#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace {
class MainWindow : public QWidget {
 public:
  MainWindow() : QWidget(nullptr, Qt::FramelessWindowHint) {
    setWindowTitle("Install");
    setFixedSize(502, 402);
  }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape) close();
  }
};
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Install");
  MainWindow window;
  window.show();
  return QApplication::exec();
}
