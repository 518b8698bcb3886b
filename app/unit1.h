// The main window: its components, its state, and its event handlers (start-up,
// the frame loop, pointer and keys, the extraction run).
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "direct_draw.h"
#include "dxdraw.h"
#include "dxdraw_widget.h"
#include "frame_timer.h"
#include "main_screen.h"
#include "media_player.h"
#include "picture_list.h"
#include "qt_dxdraw_platform.h"
#include "qt_idle_slot.h"
#include "settings.h"

class TForm2;
class TForm3;
struct TACEHeaderData;

// What a test or an embedding can choose about the main window.
struct TForm1Options {
  std::string ExeDir;                          // empty: the folder of the executable
  std::optional<TPixelFormat> SurfaceFormat;   // empty: the screen's format
  std::function<void(const std::string& path)> ShellOpen;  // empty: the desktop's opener
};

// The volume counter: a plain count with the bound the settings give it.
struct TVolumeCounter {
  std::int32_t Position = 0;
  std::int32_t Max = 100;
};

class TForm1 : public QWidget {
 public:
  explicit TForm1(TForm1Options options = {});
  ~TForm1() override;

  // Components, in creation order.
  TDXDrawWidget* DXDraw1Window;
  QtDXDrawPlatform DXDraw1Platform;
  TDXDraw DXDraw1;
  TVolumeCounter ProgressBar2;
  std::int32_t btn_cancel = 0;
  std::int32_t ProgressBar1 = 0;
  TMediaPlayer MediaPlayer1;
  TDXImageList DXImageList1;
  QtIdleSlot DXTimer1Slot;
  TDXTimer DXTimer1;

  // State.
  std::string ExeDir;
  TSettings Settings;
  std::string TargetDir;
  bool CancelRequested = false;
  double FilePercent = 0;
  std::int32_t FileSize = 0;
  int MouseX = 0, MouseY = 0, ButtonDown = 0;
  TSlideShow Slides;
  bool StartupFailed = false;  // the creation event ended with an error

  // The two dialogs, made by start-up after this window.
  TForm2* Form2 = nullptr;
  TForm3* Form3 = nullptr;

  // Handlers.
  void DXDraw1Initialize();
  void DXTimer1Timer(int lagCount);
  void DXDraw1MouseMove(int x, int y);
  void FormKeyDown(int key);
  void DXDraw1MouseDown(Qt::MouseButton button, int x, int y);
  void DXDraw1MouseUp(Qt::MouseButton button, int x, int y);
  void FormClose();
  void FormCreate();

  void ReadSettings();
  void LoadArtwork();
  void RunInstall();
  int OnProcessData(const std::uint8_t* data, std::int32_t count);
  int OnChangeVolume(const char* volumePath, int mode);

  bool RunInProgress() const { return running_; }
  // The picture of the list with this name (which must exist).
  TPictureCollectionItem& Picture(const std::string& name);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void DrawProgressScreen(const TACEHeaderData& header);
  void DrawFileBar();
  void PostInstallActions();
  void ShellOpen(const std::string& path);
  // Runs a handler; an error that it raises goes to the general error report.
  void Guarded(const std::function<void()>& handler);

  TForm1Options options_;
  bool running_ = false;
  bool quitAfterRun_ = false;
  bool closed_ = false;
};

// The picture names of the main window's list, in list order.
extern const char* const kPictureNames[23];
