// The program's start-up and its message loop.
#pragma once

// What the application needs before its first window: its name and the text
// renderer of the surface canvases. Call it once the QApplication exists.
void SetUpInstallerApplication();

// Runs the installer: creates the application and its three windows, shows the main
// window centred and runs the message loop until the main window closes.
int RunInstallerApplication(int argc, char** argv);

// SIGINT, SIGTERM and SIGHUP close every window through the event loop (a run in
// progress is cancelled first), once CatchStopSignals has been called.
class QObject;
void CloseWindowsOnStopSignals(QObject* owner);
