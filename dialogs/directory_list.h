// `dir1`, the folder dialog's directory list: the path of the current folder as a
// small tree (the root first, then each folder down to the current one), followed by
// the current folder's subfolders. It is a view of the process's working directory:
// it reads the working directory when it is made and changes it on every move.
#pragma once

#include <QListWidget>

#include <functional>
#include <string>
#include <vector>

#include "list_pictures.h"

class TDirectoryListBox : public QListWidget {
 public:
  TDirectoryListBox(TPictureProvider pictures, QWidget* parent = nullptr);

  // The current folder: a full path, "/" for the root, otherwise without a trailing
  // separator.
  const std::string& Directory() const { return Current; }

  // Moves into `folder` (absolute, or relative to the current folder): changes the
  // working directory and rereads it. An empty folder or the current one does
  // nothing. When the folder cannot be entered, the general error report tells why
  // and the list stays where it was; the result is then false.
  bool SetDirectory(const std::string& folder);

  // The folder an item stands for: the root for the first, the path down to it for
  // the other path items, the current folder for its own item, the subfolder for a
  // subfolder item. Empty for a row that does not exist.
  std::string FolderOfItem(int row) const;

  // Moves into the folder that the item at `row` stands for.
  void OpenItem(int row);

  // Called after every move.
  std::function<void()> OnChange;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void Rebuild();
  void AddItem(const QString& text, const QPixmap& picture, int indent, std::string folder);

  TPictureProvider Pictures;
  QPixmap OpenPicture, ClosedPicture, CurrentPicture;
  std::string Current;
  std::vector<std::string> ItemFolders;  // per row
};
