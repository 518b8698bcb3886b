// Starting the tune at start-up, with the disk audio driver and without any audio.
#include "startup_music.h"

#include "audio_fixture.h"

namespace musictest {
namespace {

using Notify = TMediaPlayer::Notify;

class StartMusicTest : public DiskAudioTest {
 protected:
  std::string ExeDir() const { return dir_.string() + "/"; }
};

TEST_F(StartMusicTest, PlaysTheTuneInTheInstallerFolderOnce) {
  WriteOrganTune(Path("tune.mid"), 300, 300);
  TMediaPlayer player;
  StartMusic(player, ExeDir(), "tune.mid");
  EXPECT_EQ(player.FileName, ExeDir() + "tune.mid");
  EXPECT_TRUE(player.IsOpen());
  EXPECT_TRUE(player.IsPlaying());
  EXPECT_TRUE(WaitForSound());
  ASSERT_TRUE(WaitForFinish(player));
  EXPECT_TRUE(player.IsOpen());
}

TEST_F(StartMusicTest, AWaveNamedAsTheTunePlaysToo) {
  WriteSineWave(Path("music.wav"), 200, 6000);
  TMediaPlayer player;
  StartMusic(player, ExeDir(), "music.wav");
  EXPECT_TRUE(player.IsPlaying());
  ASSERT_TRUE(WaitForFinish(player));
  EXPECT_TRUE(FindSound().any);
}

TEST_F(StartMusicTest, NoFileMeansNoMusicAndNoError) {
  fs::create_directory(Path("sub"));
  // Empty name (the installer folder itself), a folder, a missing file, a folder
  // below a name that exists only as a folder.
  for (const char* name : {"", "sub", "missing.mid", "sub/"}) {
    TMediaPlayer player;
    EXPECT_NO_THROW(StartMusic(player, ExeDir(), name)) << '"' << name << '"';
    EXPECT_FALSE(player.IsOpen()) << '"' << name << '"';
    EXPECT_TRUE(player.FileName.empty()) << '"' << name << '"';
    EXPECT_EQ(player.LastError(), TMediaPlayer::ErrNone);
  }
  // The audio output was never even started.
  EXPECT_FALSE(fs::exists(AudioFile()));
}

TEST_F(StartMusicTest, ADamagedTuneEndsInThePlayRequestsError) {
  WriteBytes(Path("tune.mid"), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 1, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, 40});
  TMediaPlayer player;
  try {
    StartMusic(player, ExeDir(), "tune.mid");
    FAIL() << "a damaged tune started silently";
  } catch (const EMCIDeviceError& e) {
    EXPECT_STREQ(e.what(), "No MCI device open");
  }
  EXPECT_FALSE(player.IsOpen());
  EXPECT_EQ(player.LastError(), TMediaPlayer::ErrNotOpen);
}

TEST_F(StartMusicTest, ARestartReplacesTheTuneThatPlays) {
  WriteSineWave(Path("long.wav"), 5000, 6000);
  WriteSineWave(Path("short.wav"), 200, 6000);
  TMediaPlayer player;
  StartMusic(player, ExeDir(), "long.wav");
  ASSERT_TRUE(WaitForSound());
  StartMusic(player, ExeDir(), "short.wav");
  EXPECT_EQ(player.FileName, ExeDir() + "short.wav");
  EXPECT_EQ(player.LastNotify(), TMediaPlayer::Notify::Aborted);
  ASSERT_TRUE(WaitForFinish(player));
  // Only the short tune sounded after the restart.
  EXPECT_FALSE(SoundAfter(AudioBytes()).any);
}

// A machine whose audio driver cannot be brought up. The fixture points SDL at a
// driver that does not exist; SDL's audio is fully shut down between tests, so the
// next start reads the setting afresh.
class NoAudioDevice : public DiskAudioTest {
 protected:
  void SetUp() override {
    DiskAudioTest::SetUp();
    ::setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    WriteSineWave(Path("tune.wav"), 200, 6000);
  }
  void TearDown() override {
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    DiskAudioTest::TearDown();
  }
};

TEST_F(NoAudioDevice, StartMusicRunsSilently) {
  TMediaPlayer player;
  EXPECT_NO_THROW(StartMusic(player, dir_.string() + "/", "tune.wav"));
  EXPECT_FALSE(player.IsOpen());
  EXPECT_FALSE(player.IsPlaying());
  EXPECT_EQ(player.LastError(), TMediaPlayer::ErrNoAudioDevice);
  EXPECT_NO_THROW(player.Close());
}

TEST_F(NoAudioDevice, OpenSaysSoAndPlayFindsNothingOpen) {
  EXPECT_FALSE(TMediaPlayer::AudioAvailable());
  TMediaPlayer player;
  player.FileName = Path("tune.wav");
  try {
    player.Open();
    FAIL() << "opened without an audio device";
  } catch (const EMCIDeviceError& e) {
    EXPECT_GT(std::string(e.what()).size(), 0u);
    EXPECT_STRNE(e.what(), "Unknown error code");
  }
  EXPECT_EQ(player.LastError(), TMediaPlayer::ErrNoAudioDevice);
  EXPECT_THROW(player.Play(), EMCIDeviceError);
  EXPECT_EQ(player.LastError(), TMediaPlayer::ErrNotOpen);
  EXPECT_FALSE(fs::exists(AudioFile()));
}

TEST_F(NoAudioDevice, AudioComingBackIsUsedByTheNextOpen) {
  {
    TMediaPlayer player;
    StartMusic(player, dir_.string() + "/", "tune.wav");
    EXPECT_FALSE(player.IsOpen());
  }
  ::setenv("SDL_AUDIODRIVER", "disk", 1);
  EXPECT_TRUE(TMediaPlayer::AudioAvailable());
  TMediaPlayer player;
  StartMusic(player, dir_.string() + "/", "tune.wav");
  EXPECT_TRUE(player.IsPlaying());
  ASSERT_TRUE(WaitForFinish(player));
}

}  // namespace
}  // namespace musictest
