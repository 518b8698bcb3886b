#include "list_pictures.h"

#include <QBitmap>
#include <QPainter>

#include <algorithm>

QPixmap TransparentPicture(const QImage& picture) {
  if (picture.isNull()) return {};
  QPixmap pixmap = QPixmap::fromImage(picture);
  const QColor key = picture.pixelColor(0, picture.height() - 1);
  pixmap.setMask(QBitmap::fromImage(picture.createMaskFromColor(key.rgb(), Qt::MaskInColor)));
  return pixmap;
}

TPictureItemDelegate::TPictureItemDelegate(int rowHeight, bool centreText, QObject* parent)
    : QStyledItemDelegate(parent), rowHeight_(rowHeight), centreText_(centreText) {}

void TPictureItemDelegate::PaintRow(QPainter* painter, const QRect& rect, const QPixmap& picture,
                                    int indent, const QString& text, const QFont& font,
                                    const QColor& textColour, bool centreText) {
  const int pictureWidth = picture.isNull() ? 16 : picture.width();
  if (!picture.isNull()) {
    const int y = rect.top() + (rect.height() - picture.height()) / 2;
    painter->drawPixmap(rect.left() + indent, y, picture);
  }
  QRect textRect = rect;
  textRect.setLeft(rect.left() + indent + pictureWidth + 4);
  painter->setFont(font);
  painter->setPen(textColour);
  const int vertical = centreText ? Qt::AlignVCenter : Qt::AlignTop;
  painter->drawText(textRect, Qt::AlignLeft | vertical | Qt::TextSingleLine, text);
}

void TPictureItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
  const bool selected = option.state.testFlag(QStyle::State_Selected);
  painter->save();
  painter->fillRect(option.rect, option.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
  PaintRow(painter, option.rect, index.data(kPictureRole).value<QPixmap>(),
           index.data(kIndentRole).toInt(), index.data(Qt::DisplayRole).toString(), option.font,
           option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text), centreText_);
  painter->restore();
}

QSize TPictureItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
  const QFontMetrics metrics(option.font);
  const int textWidth = metrics.horizontalAdvance(index.data(Qt::DisplayRole).toString());
  const QPixmap picture = index.data(kPictureRole).value<QPixmap>();
  const int pictureWidth = picture.isNull() ? 16 : picture.width();
  return {index.data(kIndentRole).toInt() + pictureWidth + 4 + textWidth + 2, rowHeight_};
}
