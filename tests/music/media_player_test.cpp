// The player against SDL's disk audio driver: what reaches the output file is what a
// listener would hear.
#include <SDL_mixer.h>
#include <sys/stat.h>

#include "audio_fixture.h"

namespace musictest {
namespace {

using Notify = TMediaPlayer::Notify;

using PlayerOutputTest = DiskAudioTest;

TEST_F(PlayerOutputTest, MidiTuneSoundsOnceAndEndsWithItsTrack) {
  WriteOrganTune(Path("tune.mid"), 600, 700);
  TMediaPlayer player;
  player.FileName = Path("tune.mid");
  player.Open();
  ASSERT_TRUE(player.IsOpen());
  EXPECT_EQ(player.LastError(), TMediaPlayer::ErrNone);

  // The device format the checks below assume.
  int rate = 0, channels = 0;
  Uint16 format = 0;
  ASSERT_EQ(Mix_QuerySpec(&rate, &format, &channels), 1);
  ASSERT_EQ(rate, kRate);
  ASSERT_EQ(channels, kChannels);
  ASSERT_EQ(format, AUDIO_S16SYS);

  const std::size_t playBytes = AudioBytes();
  player.Play();
  EXPECT_TRUE(player.IsPlaying());
  EXPECT_EQ(player.LastNotify(), Notify::None);
  ASSERT_TRUE(WaitForFinish(player));
  const std::size_t endBytes = AudioBytes();

  // Nothing at all once the end was signalled: no repeat, no tail.
  EXPECT_FALSE(SoundAfter(endBytes).any);
  const SoundSpan sound = FindSound();
  ASSERT_TRUE(sound.any);
  EXPECT_LE(sound.lastFrame, FramesOf(endBytes) + Frames(0.25));
  // The note itself: loud for about its 600 ms, beginning after the play request.
  const SoundSpan note = FindSound(0, kLoud);
  ASSERT_TRUE(note.any);
  EXPECT_GE(note.firstFrame + Frames(0.25), FramesOf(playBytes));
  EXPECT_GE(note.Length(), Frames(0.5)) << "the note was cut short";
  EXPECT_LE(note.Length(), Frames(1.5)) << "the note went on well past its release";
  EXPECT_TRUE(player.IsOpen()) << "a finished tune stays open until closed";
  EXPECT_EQ(player.LastError(), TMediaPlayer::ErrNone);
}

TEST_F(PlayerOutputTest, WaveFilePlaysTheSameWay) {
  WriteSineWave(Path("tone.wav"), 400, 8000);
  TMediaPlayer player;
  player.FileName = Path("tone.wav");
  player.Open();
  player.Play();
  ASSERT_TRUE(WaitForFinish(player));
  const std::size_t endBytes = AudioBytes();
  EXPECT_FALSE(SoundAfter(endBytes).any);

  const SoundSpan sound = FindSound();
  ASSERT_TRUE(sound.any);
  // Mono is copied to both channels at full volume, sample for sample.
  EXPECT_GE(sound.peak, 7800);
  EXPECT_LE(sound.peak, 8200);
  EXPECT_GE(sound.Length(), Frames(0.39));
  EXPECT_LE(sound.Length(), Frames(0.41));
}

TEST_F(PlayerOutputTest, CloseWhilePlayingStopsTheOutput) {
  WriteOrganTune(Path("long.mid"), 5000, 5000);
  TMediaPlayer player;
  player.FileName = Path("long.mid");
  player.Open();
  player.Play();
  ASSERT_TRUE(WaitForSound());
  ASSERT_TRUE(player.IsPlaying());

  player.Close();
  const std::size_t closedBytes = AudioBytes();
  EXPECT_FALSE(player.IsOpen());
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(player.LastNotify(), Notify::Aborted);
  EXPECT_EQ(player.LastError(), TMediaPlayer::ErrNone);
  // The device stays up (the player still holds it) and carries silence only.
  EXPECT_FALSE(SoundAfter(closedBytes).any);

  player.Close();  // closing twice is harmless
  try {
    player.Play();
    ADD_FAILURE() << "Play after Close should raise";
  } catch (const EMCIDeviceError& e) {
    EXPECT_STREQ(e.what(), "No MCI device open");
  }
}

TEST_F(PlayerOutputTest, DestroyingAPlayingPlayerStopsTheTune) {
  WriteSineWave(Path("long.wav"), 5000, 6000);
  WriteSineWave(Path("short.wav"), 100, 6000);
  TMediaPlayer keeper;  // keeps the audio device up after the other one is gone
  keeper.FileName = Path("short.wav");
  keeper.Open();
  {
    TMediaPlayer player;
    player.FileName = Path("long.wav");
    player.Open();
    player.Play();
    ASSERT_TRUE(WaitForSound());
  }
  EXPECT_FALSE(SoundAfter(AudioBytes()).any);
}

TEST_F(PlayerOutputTest, PlayingAgainAfterTheEndFollowsAutoRewind) {
  WriteSineWave(Path("tone.wav"), 300, 6000);
  TMediaPlayer player;
  player.FileName = Path("tone.wav");
  player.Open();
  player.Play();
  ASSERT_TRUE(WaitForFinish(player));

  // Rewound: the tune sounds a second time, whole.
  std::size_t mark = AudioBytes();
  player.Play();
  EXPECT_TRUE(player.IsPlaying());
  EXPECT_EQ(player.LastNotify(), Notify::Successful) << "the earlier end stays recorded until the next one";
  ASSERT_TRUE(WaitForFinish(player));
  const SoundSpan again = SoundAfter(mark, 0.0, 0.2);
  EXPECT_GE(again.Length(), Frames(0.29));

  // Not rewound: the position stands at the end, so the play ends at once, silently.
  player.AutoRewind = false;
  mark = AudioBytes();
  player.Play();
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(player.LastNotify(), Notify::Successful);
  EXPECT_FALSE(SoundAfter(mark).any);

  // A fresh open starts at the beginning whatever AutoRewind says.
  player.Open();
  player.Play();
  EXPECT_TRUE(player.IsPlaying());
  ASSERT_TRUE(WaitForFinish(player));
}

TEST_F(PlayerOutputTest, PlayWhilePlayingSupersedesTheRequestAndPlaysOn) {
  WriteSineWave(Path("tone.wav"), 500, 6000);
  TMediaPlayer player;
  player.FileName = Path("tone.wav");
  player.Open();
  player.Play();
  ASSERT_TRUE(WaitForSound());
  player.Play();
  EXPECT_TRUE(player.IsPlaying());
  EXPECT_EQ(player.LastNotify(), Notify::Superseded);
  ASSERT_TRUE(WaitForFinish(player));
  const SoundSpan sound = FindSound();
  ASSERT_TRUE(sound.any);
  EXPECT_LE(sound.Length(), Frames(0.51)) << "the second request restarted the tune";
}

TEST_F(PlayerOutputTest, ASecondPlayerTakesOverTheMusicStream) {
  WriteSineWave(Path("long.wav"), 5000, 6000);
  WriteSineWave(Path("short.wav"), 200, 6000);
  TMediaPlayer first, second;
  first.FileName = Path("long.wav");
  second.FileName = Path("short.wav");
  first.Open();
  second.Open();
  first.Play();
  ASSERT_TRUE(WaitForSound());
  second.Play();
  EXPECT_FALSE(first.IsPlaying());
  EXPECT_EQ(first.LastNotify(), Notify::Aborted);
  ASSERT_TRUE(WaitForFinish(second));
  // The second tune's end is not taken for the first's.
  EXPECT_EQ(first.LastNotify(), Notify::Aborted);
  EXPECT_FALSE(SoundAfter(AudioBytes()).any);
  first.Close();
  EXPECT_EQ(second.LastNotify(), Notify::Successful);
  // The first can take the stream back.
  first.Open();
  first.Play();
  EXPECT_TRUE(first.IsPlaying());
  EXPECT_FALSE(second.IsPlaying());
}

TEST_F(PlayerOutputTest, OpenClosesTheTuneThatIsOpen) {
  WriteSineWave(Path("long.wav"), 5000, 6000);
  WriteBytes(Path("broken.wav"), {'R', 'I', 'F', 'F', 1, 2, 3, 4, 'J', 'U', 'N', 'K'});
  TMediaPlayer player;
  player.FileName = Path("long.wav");
  player.Open();
  player.Play();
  ASSERT_TRUE(WaitForSound());
  player.FileName = Path("broken.wav");
  EXPECT_THROW(player.Open(), EMCIDeviceError);
  EXPECT_FALSE(player.IsOpen());
  EXPECT_EQ(player.LastNotify(), Notify::Aborted);
  EXPECT_FALSE(SoundAfter(AudioBytes()).any);
}

// Files the player must refuse at open, each with the text that says why.
struct BadFile {
  enum Kind { kFile, kFolder, kPipe, kAbsent };
  const char* name;
  std::vector<std::uint8_t> bytes;
  Kind kind;
  const char* textPart;  // expected within the error text
};

class DamagedFileTest : public DiskAudioTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(DamagedFileTest, OpenRaisesTheMediaTextAndPlayFindsNoDevice) {
  const BadFile& bad = GetParam();
  const std::string path = Path(bad.name);
  if (bad.kind == BadFile::kFolder) fs::create_directory(path);
  if (bad.kind == BadFile::kPipe) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  }
  if (bad.kind == BadFile::kFile) WriteBytes(path, bad.bytes);
  TMediaPlayer player;
  player.FileName = path;
  std::string openText;
  try {
    player.Open();
    ADD_FAILURE() << "opened " << bad.name;
  } catch (const EMCIDeviceError& e) {
    openText = e.what();
  }
  EXPECT_NE(openText.find(bad.textPart), std::string::npos) << openText;
  EXPECT_NE(openText, "Unknown error code");
  EXPECT_EQ(player.LastError(), TMediaPlayer::ErrOpenFailed);
  EXPECT_FALSE(player.IsOpen());

  try {
    player.Play();
    ADD_FAILURE() << "played " << bad.name;
  } catch (const EMCIDeviceError& e) {
    EXPECT_STREQ(e.what(), "No MCI device open");
  }
  EXPECT_EQ(player.LastError(), TMediaPlayer::ErrNotOpen);
  EXPECT_EQ(player.LastNotify(), Notify::None);
}

std::vector<std::uint8_t> TruncatedTune() {
  midi::Song song(500);
  song.AddTrack().Note(0, 400, 0, 60, 100);
  std::vector<std::uint8_t> bytes = song.Encode();
  bytes.resize(bytes.size() - 5);
  return bytes;
}

std::vector<std::uint8_t> BrokenEventTune() {
  midi::Song song(500);
  song.AddTrack().Note(0, 400, 0, 60, 100);
  std::vector<std::uint8_t> bytes = song.Encode();
  bytes[22 + 1] = 0xF4;  // the note-on's status becomes an undefined system message
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Refused, DamagedFileTest,
    ::testing::Values(
        // SDL's own texts for files its decoders reject.
        BadFile{"broken.wav", {'R', 'I', 'F', 'F', 0x40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 9, 9, 9, 9},
                BadFile::kFile, "WAV"},
        BadFile{"noise.ogg", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}, BadFile::kFile, "Ogg"},
        BadFile{"missing.mid", {}, BadFile::kAbsent, "missing.mid"},
        // MIDI tunes that the synthesiser would only choke on while playing.
        BadFile{"noise.mid", {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 1, 2, 3, 4, 5, 6, 7, 8}, BadFile::kFile,
                "Damaged MIDI file: no MIDI header"},
        BadFile{"truncated.mid", TruncatedTune(), BadFile::kFile, "Damaged MIDI file: chunk runs past the end"},
        BadFile{"badevent.mid", BrokenEventTune(), BadFile::kFile, "Damaged MIDI file: track 1: unknown event"},
        BadFile{"empty.mid", {}, BadFile::kFile, "Damaged MIDI file: no MIDI header"},
        // A folder named like a tune: refused before SDL sees it.
        BadFile{"folder.mid", {}, BadFile::kFolder, "Not a playable file"},
        // A pipe would block the open for as long as nobody writes to it.
        BadFile{"pipe.wav", {}, BadFile::kPipe, "Not a playable file"}),
    [](const ::testing::TestParamInfo<BadFile>& info) {
      std::string name = info.param.name;
      for (char& c : name) c = c == '.' ? '_' : c;
      return name;
    });

TEST_F(DiskAudioTest, DamagedWaveReportsExactlySdlsText) {
  WriteBytes(Path("broken.wav"), {'R', 'I', 'F', 'F', 8, 0, 0, 0, 'A', 'V', 'I', ' '});
  TMediaPlayer player;
  player.FileName = Path("broken.wav");
  try {
    player.Open();
    FAIL() << "opened a broken wave";
  } catch (const EMCIDeviceError& e) {
    EXPECT_STREQ(e.what(), Mix_GetError());
    EXPECT_GT(std::string(e.what()).size(), 0u);
  }
}

TEST_F(DiskAudioTest, CloseAndDestructionWithNothingOpenDoNothing) {
  TMediaPlayer player;
  player.Close();
  EXPECT_FALSE(player.IsOpen());
  EXPECT_EQ(player.LastError(), TMediaPlayer::ErrNone);
  EXPECT_EQ(player.LastNotify(), Notify::None);
  // Nothing was opened, so SDL's output never started.
  EXPECT_FALSE(fs::exists(AudioFile()));
}

TEST_F(DiskAudioTest, AudioAvailableProbesWithoutKeepingTheDevice) {
  EXPECT_TRUE(TMediaPlayer::AudioAvailable());
  // The probe opened the output once; a later player opens it again, on a new file.
  ASSERT_TRUE(fs::exists(AudioFile()));
  fs::remove(AudioFile());
  WriteSineWave(Path("tone.wav"), 100, 6000);
  TMediaPlayer player;
  player.FileName = Path("tone.wav");
  player.Open();
  EXPECT_TRUE(fs::exists(AudioFile()));
  EXPECT_TRUE(TMediaPlayer::AudioAvailable());
}

}  // namespace
}  // namespace musictest
