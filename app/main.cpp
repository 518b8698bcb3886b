// The installer program. It takes no arguments: everything comes from the folder it
// lies in.
#include "startup.h"

int main(int argc, char** argv) { return RunInstallerApplication(argc, argv); }
