#include "input_prompt.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QString>

#include <algorithm>

#include "dialog_fonts.h"

namespace {

// Dialog units of a font: a horizontal unit is a quarter of the average width of the
// letters A-Z and a-z (rounded down), a vertical unit an eighth of their height.
struct DialogUnits {
  int charWidth;
  int charHeight;
  // Values in dialog units to pixels, rounded to the nearest pixel.
  int X(int units) const { return (units * charWidth + 2) / 4; }
  int Y(int units) const { return (units * charHeight + 4) / 8; }
};

DialogUnits UnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  return {metrics.horizontalAdvance(letters) / 52, metrics.height()};
}

}  // namespace

std::string InputBox(const std::string& caption, const std::string& prompt,
                     const std::string& defaultText, QWidget* parent) {
  QDialog box(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  box.setObjectName("InputBox");
  box.setWindowTitle(QString::fromLocal8Bit(caption));
  box.setFont(DialogFont());
  const DialogUnits du = UnitsOf(box.font());
  box.setFixedSize(du.X(180), du.Y(63));

  auto* label = new QLabel(QString::fromLocal8Bit(prompt), &box);
  label->setObjectName("Prompt");
  label->move(du.X(8), du.Y(8));
  label->adjustSize();

  auto* edit = new QLineEdit(QString::fromLocal8Bit(defaultText), &box);
  edit->setObjectName("Edit");
  edit->setMaxLength(255);
  edit->setGeometry(du.X(8), du.Y(19), du.X(164), edit->sizeHint().height());
  edit->selectAll();

  auto* ok = new QPushButton(QStringLiteral("OK"), &box);
  ok->setObjectName("OkButton");
  ok->setGeometry(du.X(38), du.Y(41), du.X(50), du.Y(14));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), &box);
  cancel->setObjectName("CancelButton");
  cancel->setGeometry(du.X(92), du.Y(41), du.X(50), du.Y(14));
  cancel->setAutoDefault(false);
  QObject::connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &box, &QDialog::reject);

  if (QScreen* screen = box.screen()) {
    const QRect area = screen->geometry();
    box.move(area.x() + std::max(0, (area.width() - box.width()) / 2),
             area.y() + std::max(0, (area.height() - box.height()) / 2));
  }
  edit->setFocus();
  if (box.exec() != QDialog::Accepted) return defaultText;
  return edit->text().toLocal8Bit().toStdString();
}
