// Starting the background tune when the main window comes up.
#pragma once

#include <string>

#include "media_player.h"

// Plays the tune exeDir + midFile once in the background, when that path names a
// regular file (a folder does not count, so an empty midFile means no music).
// The play request follows the open request whatever the open's outcome; an error of
// either reaches the caller as EMCIDeviceError, and after a failed open that is the
// play request's "No MCI device open". On a machine without audio output nothing is
// played and nothing is raised.
void StartMusic(TMediaPlayer& player, const std::string& exeDir, const std::string& midFile);
