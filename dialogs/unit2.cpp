#include "unit2.h"
#include "window_placement.h"

#include <QEvent>
#include <QKeyEvent>
#include <QScreen>
#include <QToolButton>

#include <sys/stat.h>

#include <algorithm>

#include "dialog_fonts.h"
#include "directory_list.h"
#include "drive_combo.h"
#include "input_prompt.h"
#include "message_boxes.h"

namespace {

// Joins a folder and a name: appends the separator unless the folder ends with one.
std::string AddSlash(const std::string& path) {
  if (!path.empty() && path.back() == '/') return path;
  return path + '/';
}

QToolButton* FlatButton(const char* name, const char* caption, const QRect& place, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setText(caption);
  button->setAutoRaise(true);  // no frame; raised under the pointer, sunken when held
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setFocusPolicy(Qt::NoFocus);
  button->setGeometry(place);
  return button;
}

void BlackText(QWidget* w) {
  QPalette colours = w->palette();
  for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
    colours.setColor(role, Qt::black);
  }
  w->setPalette(colours);
}

}  // namespace

TForm2::TForm2(std::string& targetDir, const std::string& defaultDir, TPictureProvider pictures,
               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      TargetDir(&targetDir),
      DefaultDir(defaultDir) {
  setObjectName("Form2");
  setWindowTitle("Install to..");
  setFont(DialogFont());
  setFixedSize(301, 213);
  setSizeGripEnabled(false);

  drive1 = new TDriveComboBox(pictures, this);
  drive1->setObjectName("drive1");
  drive1->setGeometry(13, 14, 188, 19);
  BlackText(drive1);

  dir1 = new TDirectoryListBox(pictures, this);
  dir1->setObjectName("dir1");
  dir1->setGeometry(13, 38, 188, 161);
  BlackText(dir1);

  SpeedButton1 = FlatButton("SpeedButton1", "OK", QRect(214, 6, 81, 25), this);
  SpeedButton3 = FlatButton("SpeedButton3", "New folder", QRect(214, 36, 81, 25), this);
  SpeedButton2 = FlatButton("SpeedButton2", "Cancel", QRect(214, 65, 81, 25), this);
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
  connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
  connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });

  setTabOrder(drive1, dir1);
  drive1->OnChoose = [this](int index) { Drive1Change(index); };
  dir1->OnChange = [this] { drive1->SelectDriveOf(dir1->Directory()); };

  // Key preview: the dialog sees each key before the control with the focus.
  for (QWidget* w : {static_cast<QWidget*>(drive1), static_cast<QWidget*>(dir1), dir1->viewport()}) {
    w->installEventFilter(this);
  }
  installEventFilter(this);
}

void TForm2::ShowModal() {
  if (!ShownBefore) {
    ShownBefore = true;
    // The drive list is made when the dialog is first shown.
    drive1->SetDrives(SystemDrives(), dir1->Directory());
    CentreOnScreen(*this);
  }
  dir1->setFocus();
  exec();
}

void TForm2::SpeedButton1Click() {
  *TargetDir = dir1->Directory();
  accept();
}

void TForm2::SpeedButton2Click() { reject(); }

void TForm2::SpeedButton3Click() {
  const std::string name = InputBox("New folder", "Enter name", DefaultDir, this);
  const std::string path = AddSlash(dir1->Directory()) + name;
  if (name.find('\0') != std::string::npos || ::mkdir(path.c_str(), 0777) != 0) {
    ShowWarningBox("Cannot create directory");
    return;
  }
  dir1->SetDirectory(AddSlash(dir1->Directory()) + name);
}

void TForm2::Drive1Change(int index) {
  const auto& drives = drive1->Drives();
  if (index < 0 || static_cast<std::size_t>(index) >= drives.size()) return;
  if (!dir1->SetDirectory(drives[static_cast<std::size_t>(index)].MountPoint)) {
    // The folder stays where it was, and so does the drive that shows it.
    drive1->SelectDriveOf(dir1->Directory());
  }
}

bool TForm2::FormKeyDown(QKeyEvent* event) {
  if (event->key() != Qt::Key_Escape) return false;
  reject();
  return true;
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && FormKeyDown(static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
