// `drive1`, the folder dialog's drive list: a drop-down list, not editable, of the
// drives of this system, each drawn with the picture of its type.
#pragma once

#include <QComboBox>

#include <functional>
#include <vector>

#include "drive_list.h"
#include "list_pictures.h"

class TDriveComboBox : public QComboBox {
 public:
  TDriveComboBox(TPictureProvider pictures, QWidget* parent = nullptr);

  // Fills the list; the selection goes to the drive holding `folder`.
  void SetDrives(std::vector<TDriveItem> drives, const std::string& folder);
  const std::vector<TDriveItem>& Drives() const { return Items; }

  // Selects the drive that holds `folder`, without telling anyone.
  void SelectDriveOf(const std::string& folder);

  // The user chose the drive at this index (another one than the selected one).
  std::function<void(int index)> OnChoose;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap PictureOf(TDriveType type) const;

  TPictureProvider Pictures;
  std::vector<TDriveItem> Items;
  int Chosen = -1;  // the drive selected before the user's choice
};
