#include "message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include <cstdio>
#include <utility>

namespace {

std::function<void(const TMessageBoxRequest&)>& Hook() {
  static std::function<void(const TMessageBoxRequest&)> hook;
  return hook;
}

// A box shows '\r' as a line break; Qt's label wants '\n'. A CR LF pair is one
// break, not two.
std::string CarriageReturnsAsBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

void Show(const TMessageBoxRequest& request) {
  if (Hook()) {
    Hook()(request);
    return;
  }
  if (QApplication::instance() == nullptr) {
    // No window system to show it on: the message still must not get lost.
    std::fprintf(stderr, "%s: %s\n", request.Caption.c_str(), request.Text.c_str());
    return;
  }
  QMessageBox box(QApplication::activeWindow());
  box.setWindowModality(Qt::ApplicationModal);
  box.setWindowTitle(QString::fromLocal8Bit(request.Caption));
  box.setText(QString::fromLocal8Bit(CarriageReturnsAsBreaks(request.Text)));
  box.setTextFormat(Qt::PlainText);
  box.setIcon(request.Kind == TMessageBoxRequest::Warning ? QMessageBox::Warning
                                                          : QMessageBox::Critical);
  QPushButton* ok = box.addButton(QMessageBox::Ok);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
}

}  // namespace

void SetMessageBoxHook(std::function<void(const TMessageBoxRequest&)> hook) {
  Hook() = std::move(hook);
}

std::string WithFullStop(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
    return message + '.';
  }
  return message;
}

void ShowErrorReport(const std::string& message) {
  Show({"Install", WithFullStop(message), TMessageBoxRequest::Error});
}

void ShowErrorBox(const std::string& text) {
  Show({"Error", text, TMessageBoxRequest::Error});
}

void ShowWarningBox(const std::string& text) {
  Show({"Warning", text, TMessageBoxRequest::Warning});
}
