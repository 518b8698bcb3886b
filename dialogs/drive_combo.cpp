#include "drive_combo.h"

#include <QAbstractItemView>
#include <QFile>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

TDriveComboBox::TDriveComboBox(TPictureProvider pictures, QWidget* parent)
    : QComboBox(parent), Pictures(std::move(pictures)) {
  setEditable(false);
  // Rows as high as the larger of the text and the drive picture (11).
  const int rowHeight = std::max(fontMetrics().height(), 11);
  setItemDelegate(new TPictureItemDelegate(rowHeight, true, this));
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (index == Chosen) return;  // the drive that is already current
    Chosen = index;
    if (OnChoose) OnChoose(index);
  });
}

QPixmap TDriveComboBox::PictureOf(TDriveType type) const {
  return Pictures ? TransparentPicture(Pictures(DrivePictureName(type))) : QPixmap();
}

void TDriveComboBox::SetDrives(std::vector<TDriveItem> drives, const std::string& folder) {
  clear();
  Items = std::move(drives);
  for (const TDriveItem& drive : Items) {
    addItem(QFile::decodeName(QByteArray::fromStdString(drive.Text)));
    const int row = count() - 1;
    setItemData(row, PictureOf(drive.Type), kPictureRole);
    setItemData(row, 2, kIndentRole);
  }
  SelectDriveOf(folder);
}

void TDriveComboBox::SelectDriveOf(const std::string& folder) {
  Chosen = DriveOfFolder(Items, folder);
  setCurrentIndex(Chosen);
}

void TDriveComboBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionComboBox option;
  initStyleOption(&option);
  option.currentText.clear();
  option.currentIcon = QIcon();
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  const int index = currentIndex();
  if (index < 0) return;
  QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  QColor textColour = palette().color(QPalette::Text);
  if (hasFocus()) {
    painter.fillRect(field, palette().brush(QPalette::Highlight));
    textColour = palette().color(QPalette::HighlightedText);
  }
  TPictureItemDelegate::PaintRow(&painter, field, itemData(index, kPictureRole).value<QPixmap>(), 2,
                                 itemText(index), font(), textColour, true);
}
