#include "directory_list.h"

#include <QCollator>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "dialog_errors.h"
#include "list_pictures.h"
#include "message_boxes.h"

namespace {

std::string WithSeparator(const std::string& folder) {
  if (!folder.empty() && folder.back() == '/') return folder;
  return folder + '/';
}

// The working directory, or an empty string when it cannot be had (it was removed).
std::string WorkingDirectory() {
  std::vector<char> buffer(1024);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
}

// The visible subfolders of `folder`: entries that are folders (or links to them)
// whose names do not start with "."; sorted by the locale, letter case ignored.
std::vector<std::string> Subfolders(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  const std::string prefix = WithSeparator(folder);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    if (entry->d_type != DT_DIR && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) continue;
    struct stat info {};
    if (::stat((prefix + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) names.push_back(name);
  }
  ::closedir(dir);

  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::vector<std::pair<QString, std::string>> keyed;
  keyed.reserve(names.size());
  for (std::string& n : names) keyed.emplace_back(QFile::decodeName(QByteArray::fromStdString(n)), std::move(n));
  std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
    const int order = collator.compare(a.first, b.first);
    return order != 0 ? order < 0 : a.second < b.second;  // a fixed order for ties
  });
  names.clear();
  for (auto& k : keyed) names.push_back(std::move(k.second));
  return names;
}

}  // namespace

TDirectoryListBox::TDirectoryListBox(TPictureProvider pictures, QWidget* parent)
    : QListWidget(parent), Pictures(std::move(pictures)) {
  if (Pictures) {
    OpenPicture = TransparentPicture(Pictures("OPENFOLDER"));
    ClosedPicture = TransparentPicture(Pictures("CLOSEDFOLDER"));
    CurrentPicture = TransparentPicture(Pictures("CURRENTFOLDER"));
  }
  setItemDelegate(new TPictureItemDelegate(16, false, this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

  std::string start = WorkingDirectory();
  if (start.empty() && ::chdir("/") == 0) {
    // The working directory is gone: show the root, and make it the working one.
    start = WorkingDirectory();
  }
  Current = start.empty() ? std::string(1, '/') : std::move(start);
  Rebuild();
}

void TDirectoryListBox::AddItem(const QString& text, const QPixmap& picture, int indent,
                                std::string folder) {
  auto* item = new QListWidgetItem(text, this);
  item->setData(kPictureRole, picture);
  item->setData(kIndentRole, indent);
  item->setSizeHint(QSize(-1, 16));
  ItemFolders.push_back(std::move(folder));
}

void TDirectoryListBox::Rebuild() {
  clear();
  ItemFolders.clear();

  // The path: the root, then each folder on the way, the current one last.
  std::vector<std::string> pieces;
  for (std::size_t start = 1; start < Current.size();) {
    std::size_t end = Current.find('/', start);
    if (end == std::string::npos) end = Current.size();
    if (end > start) pieces.push_back(Current.substr(start, end - start));
    start = end + 1;
  }
  AddItem("/", pieces.empty() ? CurrentPicture : OpenPicture, 2, "/");
  std::string path;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    path += '/' + pieces[i];
    const bool last = i + 1 == pieces.size();
    AddItem(QFile::decodeName(QByteArray::fromStdString(pieces[i])),
            last ? CurrentPicture : OpenPicture, 4 * static_cast<int>(i + 1) + 2, path);
  }
  const int currentRow = count() - 1;

  // The subfolders, indented by the depth of the current folder.
  const int separators = static_cast<int>(std::count(Current.begin(), Current.end(), '/'));
  const std::string prefix = WithSeparator(Current);
  for (const std::string& name : Subfolders(Current)) {
    AddItem(QFile::decodeName(QByteArray::fromStdString(name)), ClosedPicture,
            4 * separators + 6, prefix + name);
  }
  setCurrentRow(currentRow);
}

bool TDirectoryListBox::SetDirectory(const std::string& folder) {
  if (folder.empty() || folder == Current) return true;
  if (folder.find('\0') != std::string::npos || ::chdir(folder.c_str()) != 0) {
    const int code = folder.find('\0') != std::string::npos ? ENOENT : errno;
    ShowErrorReport(InOutErrorText(code));
    return false;
  }
  std::string now = WorkingDirectory();
  Current = now.empty() ? folder : now;
  Rebuild();
  if (OnChange) OnChange();
  return true;
}

std::string TDirectoryListBox::FolderOfItem(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= ItemFolders.size()) return {};
  return ItemFolders[static_cast<std::size_t>(row)];
}

void TDirectoryListBox::OpenItem(int row) { SetDirectory(FolderOfItem(row)); }

void TDirectoryListBox::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentRow() >= 0) {
    OpenItem(currentRow());
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

void TDirectoryListBox::mouseDoubleClickEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && index.isValid()) {
    OpenItem(index.row());
    event->accept();
    return;
  }
  QListWidget::mouseDoubleClickEvent(event);
}
