// mksheet OUT PIC1 ... PIC6: composes the installer's artwork sheet (install.dat)
// from screen_default, screen_features, screen_screenshots, screen_install (471x258
// each), progbar1 and progbar2 (378x36 each), in that order.
#include "sheet.h"

#include <QGuiApplication>

#include <iostream>

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  std::vector<QString> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(QString::fromLocal8Bit(argv[i]));
  return mksheet::Run(arguments, std::cerr);
}
