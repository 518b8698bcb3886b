// Stored pictures as Qt images, for the parts of the program that Qt draws itself
// (the window icon, the folder dialog's drive and folder pictures).
#pragma once

#include <QIcon>
#include <QImage>
#include <string_view>

#include "dib.h"

QImage ImageFromPicture(const TPicture& picture);
// An embedded picture by name, or a null image when there is none.
QImage EmbeddedImage(std::string_view name);
QIcon MainWindowIcon();
