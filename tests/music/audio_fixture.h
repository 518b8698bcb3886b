// Shared helpers of the music tests: a temporary folder per test, SDL's disk audio
// driver writing into a file of that folder, tunes and waves written by the test, and
// reading back what came out.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "media_player.h"
#include "midi_writer.h"
#include "test_support.h"

namespace musictest {

namespace fs = std::filesystem;

// Output format the player opens SDL with: 44.1 kHz, 16-bit, stereo.
constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr std::size_t kBytesPerSecond = kRate * kChannels * 2;

constexpr std::size_t Frames(double seconds) { return static_cast<std::size_t>(seconds * kRate); }
constexpr std::size_t Bytes(double seconds) { return Frames(seconds) * kChannels * 2; }
constexpr std::size_t FramesOf(std::size_t bytes) { return bytes / (kChannels * 2); }

// Samples above this are sound; at or below kQuiet count as silence.
constexpr int kLoud = 300;
constexpr int kQuiet = 2;

// Polls `done` every 10 ms until it holds or `seconds` pass; true when it held.
inline bool Eventually(const std::function<bool()>& done, double seconds = 15.0) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return done();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// One drawbar organ note (it sustains at an even level and stops cleanly) on channel
// 0: sounding from 0 to `noteMs`, the track ending at `endMs`. One tick is one
// millisecond. The synthesiser's reverb lets it die away for a second or two more;
// the tune ends when that has gone quiet.
inline void WriteOrganTune(const std::string& path, std::uint32_t noteMs, std::uint32_t endMs) {
  midi::Song song(500);
  midi::Track& track = song.AddTrack();
  track.Tempo(0, 500000);
  track.ProgramChange(0, 0, 16);
  track.Note(0, noteMs, 0, 60, 110);
  track.EndAt(endMs);
  ASSERT_TRUE(song.WriteFile(path));
}

// A mono 16-bit PCM wave at 44.1 kHz: `ms` milliseconds of a 440 Hz sine.
void WriteSineWave(const std::string& path, int ms, int amplitude);

// Writes `bytes` to `path` as they are.
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

struct SoundSpan {
  bool any = false;
  std::size_t firstFrame = 0;  // first frame with a sample above the threshold
  std::size_t lastFrame = 0;   // last such frame
  int peak = 0;
  std::size_t endFrame = 0;    // how far the file went when it was read
  std::size_t Length() const { return any ? lastFrame - firstFrame + 1 : 0; }
};

// A test with its own folder and its own disk audio file. SDL's audio output is
// brought up by the first player that opens and shut down with the last one, so each
// test starts the driver afresh on its own file.
class DiskAudioTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string AudioFile() const { return Path("output.raw"); }

  std::size_t AudioBytes() const;
  // Samples from `fromFrame` to the end of the file as far as it is written.
  std::vector<std::int16_t> ReadAudio(std::size_t fromFrame = 0) const;
  // Where samples above `threshold` lie in frames [fromFrame, end of file).
  SoundSpan FindSound(std::size_t fromFrame = 0, int threshold = kQuiet) const;
  // Waits until the disk file holds `bytes` bytes.
  bool WaitForAudioBytes(std::size_t bytes) const;
  bool WaitForFinish(const TMediaPlayer& player) const;
  bool WaitForSound(std::size_t fromFrame = 0) const;
  // Lets the output run on for `seconds` past `fromBytes` and returns the sound found
  // from `fromBytes` + `margin` on (the margin covers the mix buffer that was already
  // on its way when something stopped).
  SoundSpan SoundAfter(std::size_t fromBytes, double margin = 0.25, double seconds = 0.5) const;

  std::unique_ptr<test_support::TempFolder> folder_;
  fs::path dir_;  // the folder's path
};

}  // namespace musictest
