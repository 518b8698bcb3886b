#include "audio_fixture.h"

#include <cctype>
#include <cmath>
#include <unistd.h>
#include <fstream>
#include <iterator>

namespace musictest {

namespace {

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  test_support::WriteFile(path, bytes);
}

void WriteSineWave(const std::string& path, int ms, int amplitude) {
  const std::uint32_t frames = static_cast<std::uint32_t>(kRate) * ms / 1000;
  std::vector<std::uint8_t> out{'R', 'I', 'F', 'F'};
  PutLe(out, 36 + frames * 2, 4);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);  // PCM
  PutLe(out, 1, 2);  // mono
  PutLe(out, kRate, 4);
  PutLe(out, kRate * 2, 4);
  PutLe(out, 2, 2);
  PutLe(out, 16, 2);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  PutLe(out, frames * 2, 4);
  for (std::uint32_t i = 0; i < frames; ++i) {
    const double s = amplitude * std::sin(2.0 * M_PI * 440.0 * i / kRate);
    PutLe(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(s))), 2);
  }
  WriteBytes(path, out);
}

void DiskAudioTest::SetUp() {
  folder_ = std::make_unique<test_support::TempFolder>("music");
  dir_ = folder_->Path();
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  ::setenv("SDL_DISKAUDIOFILE", AudioFile().c_str(), 1);
}

void DiskAudioTest::TearDown() { folder_.reset(); }

std::size_t DiskAudioTest::AudioBytes() const {
  std::error_code ec;
  const auto size = fs::file_size(AudioFile(), ec);
  return ec ? 0 : static_cast<std::size_t>(size);
}

std::vector<std::int16_t> DiskAudioTest::ReadAudio(std::size_t fromFrame) const {
  std::ifstream file(AudioFile(), std::ios::binary);
  file.seekg(static_cast<std::streamoff>(fromFrame * kChannels * 2));
  std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                           (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return samples;
}

SoundSpan DiskAudioTest::FindSound(std::size_t fromFrame, int threshold) const {
  const std::vector<std::int16_t> samples = ReadAudio(fromFrame);
  SoundSpan span;
  span.endFrame = fromFrame + samples.size() / kChannels;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const int level = std::abs(static_cast<int>(samples[i]));
    if (level <= threshold) continue;
    const std::size_t frame = fromFrame + i / kChannels;
    if (!span.any) span.firstFrame = frame;
    span.any = true;
    span.lastFrame = frame;
    span.peak = std::max(span.peak, level);
  }
  return span;
}

bool DiskAudioTest::WaitForAudioBytes(std::size_t bytes) const {
  return Eventually([&] { return AudioBytes() >= bytes; });
}

bool DiskAudioTest::WaitForFinish(const TMediaPlayer& player) const {
  return Eventually([&] {
    player.PumpNotifications();
    return player.LastNotify() == TMediaPlayer::Notify::Successful && !player.IsPlaying();
  });
}

bool DiskAudioTest::WaitForSound(std::size_t fromFrame) const {
  return Eventually([&] {
    const SoundSpan span = FindSound(fromFrame, kLoud);
    fromFrame = span.endFrame;  // what was read once need not be read again
    return span.any;
  });
}

SoundSpan DiskAudioTest::SoundAfter(std::size_t fromBytes, double margin, double seconds) const {
  EXPECT_TRUE(WaitForAudioBytes(fromBytes + Bytes(margin + seconds)));
  return FindSound(FramesOf(fromBytes) + Frames(margin));
}

}  // namespace musictest
