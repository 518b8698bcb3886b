// The main window: its components, the frame loop, pointer and keys, and the
// window's side of an extraction run. The run itself is the engine's; the window is
// its view and draws what the engine computes onto the surface.
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
#include "install_engine.h"
#include "main_screen.h"
#include "media_player.h"
#include "picture_list.h"
#include "qt_dxdraw_platform.h"
#include "qt_idle_slot.h"
#include "run_view.h"

class TForm2;
class TForm3;

// What a test or an embedding can choose about the main window.
struct TForm1Options {
  std::string ExeDir;                          // empty: the folder of the executable
  std::optional<TPixelFormat> SurfaceFormat;   // empty: the screen's format
  std::function<void(const std::string& path)> ShellOpen;  // empty: the desktop's opener
};

class TForm1 : public QWidget, private TRunView {
 public:
  explicit TForm1(TForm1Options options = {});
  ~TForm1() override;

  // The creation event ended with an error (already reported).
  bool StartupFailed() const { return startupFailed_; }
  const TSettings& Settings() const { return engine_.Settings(); }
  // The destination folder, written by the folder dialog's OK.
  std::string& TargetDir() { return engine_.State().TargetDir; }
  // The two dialogs, made by start-up after this window.
  void SetDialogs(TForm2* folders, TForm3* viewer);

  // The extraction run into TargetDir(), with the frame timer off.
  void RunInstall();
  bool RunInProgress() const { return engine_.Running(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  friend class TForm1Probe;

  // Handlers.
  void FormCreate();
  void DXDraw1Initialize();
  void ReadSettings();
  void LoadArtwork();
  void DXTimer1Timer(int lagCount);
  void DXDraw1MouseMove(int x, int y);
  void DXDraw1MouseDown(Qt::MouseButton button, int x, int y);
  void DXDraw1MouseUp(Qt::MouseButton button, int x, int y);
  void FormKeyDown(int key);
  void FormClose();
  // Runs a handler; an error that it raises goes to the general error report.
  void Guarded(const std::function<void()>& handler);
  // The picture of the list with this name (which must exist).
  TPictureCollectionItem& Picture(const std::string& name);
  void DrawFileBar(int width);

  // The run's view.
  void ShowEntry(const TEntryProgress& entry) override;
  void ShowPiece(const TPieceProgress& piece) override;
  bool PollCancel() override;
  void Present() override;
  void VolumeChanged(const std::string& volumeFileName) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  void OpenFile(const std::string& path) override;
  void ResetSlideshow() override;

  // Components, in creation order.
  TDXDrawWidget* DXDraw1Window;
  QtDXDrawPlatform DXDraw1Platform;
  TDXDraw DXDraw1;
  TMediaPlayer MediaPlayer1;
  TDXImageList DXImageList1;
  QtIdleSlot DXTimer1Slot;
  TDXTimer DXTimer1;

  // State.
  TForm1Options options_;
  TInstallEngine engine_;
  int MouseX = 0, MouseY = 0, ButtonDown = 0;
  TSlideShow Slides;
  TForm2* Form2 = nullptr;
  TForm3* Form3 = nullptr;
  bool startupFailed_ = false;
  bool cancelAsked_ = false;  // Escape or a close request during a run, not yet polled
  bool quitAfterRun_ = false;
  bool closed_ = false;
};

// The picture names of the main window's list, in list order.
extern const char* const kPictureNames[23];
