// The destination folder dialog, "Install to..": a drive list, a directory list and
// three flat buttons ("OK", "New folder", "Cancel"). Created once and only hidden
// when closed, so it keeps its place and its folder between showings.
#pragma once

#include <QDialog>

#include <string>

#include "list_pictures.h"

class QKeyEvent;
class QToolButton;
class TDirectoryListBox;
class TDriveComboBox;

class TForm2 : public QDialog {
 public:
  // `targetDir` is written with the chosen folder when the user presses "OK" and
  // left alone otherwise; it must outlive the dialog. `defaultDir` is the name
  // proposed for a new folder.
  TForm2(std::string& targetDir, const std::string& defaultDir, TPictureProvider pictures,
         QWidget* parent = nullptr);

  // Shows the dialog modally; returns when it is closed.
  void ShowModal();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SpeedButton1Click();  // OK
  void SpeedButton2Click();  // Cancel
  void SpeedButton3Click();  // New folder
  bool FormKeyDown(QKeyEvent* event);
  void Drive1Change(int index);

  std::string* TargetDir;
  std::string DefaultDir;
  TDriveComboBox* drive1;
  TDirectoryListBox* dir1;
  QToolButton* SpeedButton1;
  QToolButton* SpeedButton2;
  QToolButton* SpeedButton3;
  bool ShownBefore = false;
};
