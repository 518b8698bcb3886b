#include "startup.h"

#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <unistd.h>

#include "picture_images.h"
#include "stop_signals.h"
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
}

void CloseWindowsOnStopSignals(QObject* owner) {
  const int fd = StopSignalDescriptor();
  if (fd < 0) return;
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [fd, notifier] {
    char drained[16];
    while (::read(fd, drained, sizeof drained) > 0) {
    }
    notifier->setEnabled(false);
    // As the quit button: the music closes with the main window. A run in progress
    // is cancelled first, and the main window closes once it has ended; modal
    // dialogs and message boxes close too, so that nothing holds the program open.
    QApplication::closeAllWindows();
  });
}

int RunInstallerApplication(int argc, char** argv) {
  // Before the music library starts, so that it finds handlers in place and keeps
  // its own out of the way.
  CatchStopSignals();
  QApplication app(argc, argv);
  SetUpInstallerApplication();
  CloseWindowsOnStopSignals(&app);

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
  const int status = QApplication::exec();
  // Ended by a signal: say so in the exit status, as the shell would for the signal.
  return StopSignalArrived() ? 128 + StopSignalNumber() : status;
}
