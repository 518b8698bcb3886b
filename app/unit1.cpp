#include "unit1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QKeyEvent>
#include <QTimer>
#include <QUrl>

#include "artwork_sheet.h"
#include "embedded_pictures.h"
#include "message_boxes.h"
#include "paths.h"
#include "picture_images.h"
#include "run_messages.h"
#include "startup_music.h"
#include "unit2.h"
#include "unit3.h"

const char* const kPictureNames[23] = {
    "bg",            "screen_default",   "screen_features",  "screen_screenshots", "screen_install",
    "info_install1", "info_install2",    "info_install3",    "info_nfo1",          "info_nfo2",
    "info_nfo3",     "info_quit1",       "info_quit2",       "info_quit3",         "progbar1",
    "progbar2",      "info_features1",   "info_features2",   "info_features3",     "info_screenshot1",
    "info_screenshot2", "info_screenshot3", "tarnwell"};

namespace {

constexpr int kEscape = 27;

void ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace

TForm1::TForm1(TForm1Options options)
    : QWidget(nullptr, Qt::FramelessWindowHint),
      DXDraw1Window(new TDXDrawWidget(this)),
      DXDraw1Platform(*DXDraw1Window, options.SurfaceFormat),
      DXDraw1(DXDraw1Platform),
      DXTimer1(DXTimer1Slot, &MillisecondClock),
      options_(std::move(options)),
      engine_(options_.ExeDir.empty() ? ExecutableDir() : options_.ExeDir) {
  // Window.
  setWindowTitle("Install");
  setFixedSize(502, 402);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  setFocusPolicy(Qt::StrongFocus);
  setWindowIcon(MainWindowIcon());

  // DXDraw1: covers the client area, hidden until initialised.
  DXDraw1Window->setGeometry(0, 0, 502, 402);
  DXDraw1Window->setFocusPolicy(Qt::NoFocus);
  DXDraw1Window->hide();
  DXDraw1.AutoSize = true;
  using O = TDXDrawOption;
  DXDraw1.SetOptions({O::doAllowReboot, O::doWaitVBlank, O::doSystemMemory, O::doCenter, O::doHardware,
                      O::doRetainedMode, O::doDrawPrimitive, O::doSelectDriver, O::doTexture, O::doRGB, O::doMono,
                      O::doDither});
  DXDraw1.OnInitialize = [this](TDXDraw&) { DXDraw1Initialize(); };
  DXDraw1Window->OnPaintRequest = [this] { DXDraw1.PaintRequest(); };
  DXDraw1Window->OnMouseDown = [this](Qt::MouseButton b, int x, int y) { DXDraw1MouseDown(b, x, y); };
  DXDraw1Window->OnMouseMove = [this](int x, int y) { DXDraw1MouseMove(x, y); };
  DXDraw1Window->OnMouseUp = [this](Qt::MouseButton b, int x, int y) { DXDraw1MouseUp(b, x, y); };

  // DXImageList1: 23 entries, 17 of them with their stored pictures.
  TPictureCollection& items = DXImageList1.Items;
  for (const char* name : kPictureNames) {
    TPictureCollectionItem& item = items.Add();
    item.SetName(name);
    item.SystemMemory = true;
    item.Transparent = false;
    item.SetTransparentColor(std::string(name) == "bg" ? RGB(255, 0, 0) : RGB(0, 0, 0));
  }
  for (const resources::StoredPicture& stored : resources::MainWindowPictures())
    items.Items(items.IndexOf(std::string(stored.Name))).SetPicture(ReadStoredPicture(stored.Data));
  DXImageList1.SetDXDraw(&DXDraw1);

  // DXTimer1: stored disabled, 10 ms, active only.
  DXTimer1.BeginLoading();
  DXTimer1.SetEnabled(false);
  DXTimer1.SetInterval(10);
  DXTimer1.MaxLag = 10;
  DXTimer1.ActiveOnly = true;
  DXTimer1.OnTimer = [this](TDXTimer&, int lag) { Guarded([&] { DXTimer1Timer(lag); }); };
  DXTimer1.Loaded();
  DXTimer1Slot.SetDelaySource([this] { return DXTimer1.MillisecondsUntilNextTick(); });
  DXTimer1Slot.OnActivationChanged = [this](bool active) {
    if (active) DXTimer1.ApplicationActivated();
    else DXTimer1.ApplicationDeactivated();
  };

  // The end of the tune arrives on the audio thread; the GUI thread records it.
  auto* notifications = new QTimer(this);
  connect(notifications, &QTimer::timeout, this, [this] { MediaPlayer1.PumpNotifications(); });
  notifications->start(250);

  // The creation event runs under a guard: an error is reported and start-up goes on.
  try {
    FormCreate();
  } catch (const std::exception& e) {
    startupFailed_ = true;
    ShowErrorReport(e.what());
  }
}

TForm1::~TForm1() {
  DXTimer1.SetEnabled(false);
  DXImageList1.SetDXDraw(nullptr);
}

void TForm1::SetDialogs(TForm2* folders, TForm3* viewer) {
  Form2 = folders;
  Form3 = viewer;
}

TPictureCollectionItem& TForm1::Picture(const std::string& name) {
  TPictureCollection& items = DXImageList1.Items;
  return items.Items(items.IndexOf(name));
}

void TForm1::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowErrorReport(e.what());
  }
}

// ---------------------------------------------------------------- start-up

void TForm1::FormCreate() { DXDraw1.Initialize(); }

void TForm1::DXDraw1Initialize() {
  ReadSettings();
  LoadArtwork();
  Slides.Reset();
  // A tune that cannot be played is reported, and the installer goes on without it.
  try {
    StartMusic(MediaPlayer1, engine_.ExeDir(), Settings().MidFile);
  } catch (const std::exception& e) {
    ShowErrorReport(e.what());
  }
  DXDraw1Window->show();
  DXTimer1.SetEnabled(true);
  resize(502, 402);
}

void TForm1::ReadSettings() { engine_.ReadSettings(); }

void TForm1::LoadArtwork() {
  for (const TSheetPicture& cut : LoadArtworkSheet(engine_.ExeDir())) {
    TBitmap bitmap(cut.Image.Width, cut.Image.Height);
    const std::uint8_t* rgb = cut.Image.Rgb.data();
    for (int y = 0; y < cut.Image.Height; ++y)
      for (int x = 0; x < cut.Image.Width; ++x, rgb += 3) bitmap.SetPixel(x, y, RGB(rgb[0], rgb[1], rgb[2]));
    Picture(cut.Name).SetPicture(TPicture(std::move(bitmap)));
  }
  TPictureCollection& items = DXImageList1.Items;
  items.BuildColorTable();
  std::copy(std::begin(items.ColorTable), std::end(items.ColorTable), std::begin(DXDraw1.ColorTable));
  std::copy(std::begin(items.ColorTable), std::end(items.ColorTable), std::begin(DXDraw1.DefaultColorTable));
  DXDraw1.ApplyPalette();
}

// ---------------------------------------------------------------- frame loop

void TForm1::DXTimer1Timer(int) {
  if (!DXDraw1.ReadyToDraw()) return;
  TDirectDrawSurface* surface = DXDraw1.Surface();
  Picture("bg").Draw(*surface, 0, 0, 0);
  for (const TButtonPlace& place : kButtons) {
    const int number = ButtonPictureNumber(place, MouseX, MouseY, ButtonDown);
    Picture(std::string(place.PictureStem) + char('0' + number)).Draw(*surface, place.Left, place.Top, 0);
  }
  // The slides are taken by position, not by name.
  DXImageList1.Items.Items(Slides.SlideIndex + 1)
      .DrawBlend(*surface, Bounds(kSlideLeft, kSlideTop, kSlideWidth, kSlideHeight), 0, Slides.SlideAlpha);
  Slides.Advance();
  DXDraw1.Present();
}

// ---------------------------------------------------------------- input

void TForm1::DXDraw1MouseMove(int x, int y) {
  MouseX = x;
  MouseY = y;
}

void TForm1::DXDraw1MouseDown(Qt::MouseButton, int, int) { ButtonDown = 1; }

void TForm1::DXDraw1MouseUp(Qt::MouseButton, int, int) {
  ButtonDown = 0;
  // During an extraction run the buttons do nothing: a second run, the viewer or
  // the shutdown must not start inside it. Escape cancels a run instead.
  if (RunInProgress()) return;
  Guarded([this] {
    switch (ButtonAt(MouseX, MouseY)) {
      case TScreenButton::Install:
        engine_.State().CancelRequested = false;
        TargetDir().clear();
        DXTimer1.SetEnabled(false);
        try {
          if (Form2) Form2->ShowModal();
          if (!TargetDir().empty()) RunInstall();
        } catch (...) {
          DXTimer1.SetEnabled(true);
          throw;
        }
        DXTimer1.SetEnabled(true);
        break;
      case TScreenButton::Nfo:
        DXTimer1.SetEnabled(false);
        try {
          if (Form3) {
            Form3->LoadFromFile(Settings().NfoFile);
            Form3->ShowModal();
          }
        } catch (...) {
          DXTimer1.SetEnabled(true);
          throw;
        }
        DXTimer1.SetEnabled(true);
        break;
      case TScreenButton::Quit:
        close();
        break;
      case TScreenButton::None:
        break;
    }
  });
}

void TForm1::FormKeyDown(int key) {
  if (key != kEscape) return;
  engine_.RequestCancel();
  if (RunInProgress()) cancelAsked_ = true;
  if (DXTimer1.Enabled()) close();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) FormKeyDown(kEscape);
  else QWidget::keyPressEvent(event);
}

void TForm1::FormClose() {
  try {
    MediaPlayer1.Close();
  } catch (...) {
    // Closing never fails on the music.
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (RunInProgress()) {
    // A close request in the middle of a run cancels it; the window closes once the
    // run has closed the archive.
    engine_.RequestCancel();
    cancelAsked_ = true;
    quitAfterRun_ = true;
    event->ignore();
    return;
  }
  if (!closed_) {
    closed_ = true;
    FormClose();
  }
  event->accept();
}

// ---------------------------------------------------------------- extraction run

void TForm1::RunInstall() {
  if (TargetDir().empty()) return;
  // The run presents once per data piece; with no frame loop to pace, a present
  // inside a refresh that already showed a frame waits for the refresh's end
  // instead of holding up the unpacking (sets of many small files).
  DXDraw1Platform.SetDeferLateFrames(true);
  cancelAsked_ = false;
  engine_.RunInstall(*this);
  // Ending the mode shows any frame still pending: the screen catches up with the
  // last state the run drew.
  DXDraw1Platform.SetDeferLateFrames(false);
  // A close request (the window system, a stop signal) waited for the run's end.
  if (quitAfterRun_) close();
}

void TForm1::ShowEntry(const TEntryProgress& entry) {
  TDirectDrawSurface* surface = DXDraw1.Surface();
  Picture("screen_install").Draw(*surface, 15, 102, 0);
  DrawFileBar(entry.FileBarWidth);
  const TPoint origin = Settings().VolumeBarOrigin;
  surface->FastCopy(origin.X, origin.Y, Bounds(0, 0, entry.VolumeBarWidth, 36), 0,
                    Picture("progbar2").PatternSurface(0));
  TDirectDrawSurfaceCanvas& canvas = surface->Canvas();
  canvas.BrushClear = true;
  canvas.FontName = "MS Sans Serif";
  canvas.FontSizePoints = 8;
  canvas.FontColor = RGB(255, 255, 255);
  canvas.TextOut(60, 130, entry.FileLine);
  canvas.TextOut(60, 230, entry.ArchiveLine);
  canvas.TextOut(60, 315, entry.CancelLine);
  canvas.Release();
  // The screen itself is shown by the next present.
}

void TForm1::DrawFileBar(int width) {
  const TPoint origin = Settings().FileBarOrigin;
  DXDraw1.Surface()->FastCopy(origin.X, origin.Y, Bounds(0, 0, width, 36), 0, Picture("progbar1").PatternSurface(0));
}

void TForm1::ShowPiece(const TPieceProgress& piece) { DrawFileBar(piece.FileBarWidth); }

bool TForm1::PollCancel() {
  ProcessMessages();
  const bool asked = cancelAsked_;
  cancelAsked_ = false;
  return asked;
}

void TForm1::Present() { DXDraw1.Present(); }

void TForm1::VolumeChanged(const std::string& volumeFileName) {
  setWindowTitle(QFile::decodeName(volumeFileName.c_str()));
}

void TForm1::ShowMessage(const std::string& caption, const std::string& text) {
  // The box must not open over an older frame than the one last drawn.
  DXDraw1Platform.FlushPendingFrame();
  if (caption == kRunErrorCaption) ShowErrorBox(text);
  else ShowErrorReport(text);
}

void TForm1::OpenFile(const std::string& path) {
  if (options_.ShellOpen) return options_.ShellOpen(path);
  QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
}

void TForm1::ResetSlideshow() { Slides.Reset(); }
