// A release folder made by mkrelease from a payload, installed by the installer's
// main window in-process: the destination must hold the payload bit for bit, and the
// post-install actions must open what the release names.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app_test_support.h"
#include "test_release.h"
#include "release_fixture.h"
#include "test_support.h"
#include "unit1.h"
#include "unit1_probe.h"

namespace fs = std::filesystem;

TEST(ReleaseInstall, MkreleaseFolderInstallsThePayloadBitExactly) {
  test_support::TempFolder work;
  const fs::path payload = work.Path() / "payload";
  fs::create_directories(payload / "docs");
  fs::create_directories(payload / "data");
  test_support::WriteFile(payload / "readme.txt", "Read me first.\n");
  test_support::WriteFile(payload / "docs" / "manual.txt", std::string(200000, 'm') + "end");
  test_support::WriteFile(payload / "data" / "levels.bin", test_support::RandomBytes(700000, 11));
  test_support::WriteFile(payload / "data" / "empty.dat", "");
  fs::create_directories(payload / "saves");

  mkrelease::fixture::TestReleaseOptions options;
  options.title = "game";
  options.volumeSize = 256 * 1024;
  options.execute = "readme.txt";
  options.withRegFile = true;
  const fs::path release = work.Path() / "release";
  const auto summary = mkrelease::fixture::MakeTestRelease(payload, release, INSTALLER_FILE, options);
  ASSERT_GE(summary.volumes.size(), 3u);

  CapturedBoxes().clear();
  std::vector<std::string> opened;
  TForm1Options formOptions;
  formOptions.ExeDir = release.string();
  formOptions.SurfaceFormat = pixel_formats::Xrgb8888;
  formOptions.ShellOpen = [&](const std::string& path) { opened.push_back(path); };
  TForm1 form(formOptions);
  ASSERT_FALSE(form.StartupFailed());
  EXPECT_EQ(form.Settings().NumFiles, int(summary.volumes.size()));
  TForm1Probe probe(form);
  probe.DXDraw1Platform.FixRefreshRate(1000);

  const fs::path dest = work.Path() / "installed";
  form.TargetDir() = dest.string();
  probe.DXTimer1.SetEnabled(false);
  form.RunInstall();
  EXPECT_TRUE(CapturedBoxes().empty()) << CapturedBoxes()[0].Text;
  EXPECT_EQ(probe.State.ProgressBar2.Position + 1, int(summary.volumes.size())) << "every volume was announced";

  auto payloadFiles = test_support::Md5OfTree(payload);
  auto installed = test_support::Md5OfTree(dest);
  // The registration file is copied in by the post-install actions, beside the payload.
  std::erase_if(installed, [](const auto& f) { return f.first == "register.txt"; });
  EXPECT_EQ(installed, payloadFiles);
  EXPECT_TRUE(fs::is_directory(dest / "saves")) << "empty folders come along";
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0], dest.string() + "/readme.txt");
  EXPECT_EQ(opened[1], dest.string() + "/register.txt");
  EXPECT_TRUE(fs::is_regular_file(dest / "register.txt"));
}
