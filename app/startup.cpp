#include "startup.h"

#include <QApplication>
#include <QScreen>

#include "canvas_text.h"
#include "picture_images.h"
#include "unit1.h"
#include "unit2.h"
#include "unit3.h"
#include "window_placement.h"

void SetUpInstallerApplication() {
  // The name only, never a display name: once one is set, Qt's X11 and Wayland
  // platforms append " — <display name>" to every window title that does not end
  // with it, and each window must show exactly its own caption ("Error", not
  // "Error — Install").
  QApplication::setApplicationName("Install");
  InstallQtCanvasTextRenderer();
}

int RunInstallerApplication(int argc, char** argv) {
  QApplication app(argc, argv);
  SetUpInstallerApplication();

  TForm1 form1;
  if (form1.StartupFailed()) {
    // The error has been reported. Without its settings or artwork the release
    // folder cannot be shown, so the program ends here rather than leave a blank
    // window that no key closes.
    return 1;
  }
  TForm2 form2(form1.TargetDir(), form1.Settings().DefaultDir,
               [](std::string_view name) { return EmbeddedImage(name); });
  TForm3 form3;
  form3.setWindowIcon(MainWindowIcon());
  form1.SetDialogs(&form2, &form3);

  CentreOnScreen(form1);
  form1.show();
  form1.activateWindow();
  form1.setFocus();
  return QApplication::exec();
}
