#include "startup_music.h"

#include <exception>
#include <filesystem>

void StartMusic(TMediaPlayer& player, const std::string& exeDir, const std::string& midFile) {
  const std::string path = exeDir + midFile;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::path(path), ec)) return;

  player.FileName = path;
  std::exception_ptr openError;
  try {
    player.Open();
  } catch (const EMCIDeviceError&) {
    // No audio output at all: the installer simply runs without music.
    if (player.LastError() == TMediaPlayer::ErrNoAudioDevice) return;
    openError = std::current_exception();
  }
  // Issued whatever the open did; after a failed open this raises "No MCI device open",
  // which then takes the open's place.
  player.Play();
  if (openError) std::rethrow_exception(openError);
}
