// The program's start-up and its message loop.
#pragma once

// Runs the installer: creates the application and its three windows, shows the main
// window centred and runs the message loop until the main window closes.
int RunInstallerApplication(int argc, char** argv);
