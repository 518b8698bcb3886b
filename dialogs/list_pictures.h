// Pictures and item drawing shared by the folder dialog's two lists: a row shows a
// small picture, whose bottom-left pixel colour is see-through, and its text 4 pixels
// to the right of the picture.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QStyledItemDelegate>

#include <functional>
#include <string_view>

// Supplies the dialog's small pictures by name: FLOPPY, HARD, NETWORK, CDROM, RAM
// (16 by 11), OPENFOLDER, CLOSEDFOLDER, CURRENTFOLDER (16 by 15).
using TPictureProvider = std::function<QImage(std::string_view name)>;

// The picture with every pixel of its bottom-left pixel's colour made transparent.
// A null image gives a null pixmap.
QPixmap TransparentPicture(const QImage& picture);

// Item data the delegate draws from.
enum TListItemRole {
  kPictureRole = Qt::UserRole + 1,  // QPixmap
  kIndentRole,                      // int: left edge of the picture in the row
};

class TPictureItemDelegate : public QStyledItemDelegate {
 public:
  // `rowHeight` is the height of every row; `centreText` centres the text vertically
  // in the row, otherwise it stands at the top.
  TPictureItemDelegate(int rowHeight, bool centreText, QObject* parent = nullptr);

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  // Draws one row's picture and text into `rect`, as the lists do.
  static void PaintRow(QPainter* painter, const QRect& rect, const QPixmap& picture, int indent,
                       const QString& text, const QFont& font, const QColor& textColour,
                       bool centreText);

 private:
  int rowHeight_;
  bool centreText_;
};
