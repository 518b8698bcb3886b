#include "unit1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QKeyEvent>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "ace_messages.h"
#include "embedded_pictures.h"
#include "dialog_errors.h"
#include "jpeg_sheet.h"
#include "message_boxes.h"
#include "paths.h"
#include "picture_images.h"
#include "progress_screen.h"
#include "startup_music.h"
#include "unace.h"
#include "unit2.h"
#include "unit3.h"

namespace fs = std::filesystem;

const char* const kPictureNames[23] = {
    "bg",            "screen_default",   "screen_features",  "screen_screenshots", "screen_install",
    "info_install1", "info_install2",    "info_install3",    "info_nfo1",          "info_nfo2",
    "info_nfo3",     "info_quit1",       "info_quit2",       "info_quit3",         "progbar1",
    "progbar2",      "info_features1",   "info_features2",   "info_features3",     "info_screenshot1",
    "info_screenshot2", "info_screenshot3", "tarnwell"};

namespace {

constexpr int kEscape = 27;

struct TSheetRegion {
  const char* Name;
  int Top, Width, Height;
};
// Regions of the artwork sheet, cut in this order.
constexpr TSheetRegion kSheetRegions[] = {
    {"screen_default", 0, 471, 258},  {"screen_features", 260, 471, 258}, {"screen_screenshots", 520, 471, 258},
    {"screen_install", 780, 471, 258}, {"progbar1", 1040, 378, 36},         {"progbar2", 1078, 378, 36},
};

bool IsFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

int VolumeCallback(void* context, const char* volumePath, int mode) {
  return static_cast<TForm1*>(context)->OnChangeVolume(volumePath, mode);
}

int DataCallback(void* context, const std::uint8_t* data, std::int32_t count) {
  return static_cast<TForm1*>(context)->OnProcessData(data, count);
}

// A report shows nothing for a code that has no text in its table (the normal end
// of the set, a volume already reported as missing).
void ShowReport(const std::string& text) {
  if (!text.empty()) ShowErrorBox(text);
}

void ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

int ClampWidth(std::int64_t width) { return int(std::clamp<std::int64_t>(width, -1, 1 << 20)); }

}  // namespace

TForm1::TForm1(TForm1Options options)
    : QWidget(nullptr, Qt::FramelessWindowHint),
      DXDraw1Window(new TDXDrawWidget(this)),
      DXDraw1Platform(*DXDraw1Window, options.SurfaceFormat),
      DXDraw1(DXDraw1Platform),
      DXTimer1(DXTimer1Slot, &MillisecondClock),
      options_(std::move(options)) {
  // Window.
  setWindowTitle("Install");
  setFixedSize(502, 402);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  setFocusPolicy(Qt::StrongFocus);
  setWindowIcon(MainWindowIcon());
  ExeDir = options_.ExeDir.empty() ? ExecutableDir() : AddSlash(options_.ExeDir);

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
    StartupFailed = true;
    ShowErrorReport(e.what());
  }
}

TForm1::~TForm1() {
  DXTimer1.SetEnabled(false);
  DXImageList1.SetDXDraw(nullptr);
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
    StartMusic(MediaPlayer1, ExeDir, Settings.MidFile);
  } catch (const std::exception& e) {
    ShowErrorReport(e.what());
  }
  DXDraw1Window->show();
  DXTimer1.SetEnabled(true);
  resize(502, 402);
}

void TForm1::ReadSettings() {
  ::ReadSettings(ExeDir, Settings);
  ProgressBar2.Max = Settings.VolumeCounterMax;
}

void TForm1::LoadArtwork() {
  const std::string path = ExeDir + "install.dat";
  std::ifstream in(path, std::ios::binary);
  if (!IsFile(path) || !in) throw EFOpenError("Cannot open file " + path);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const TRgbImage sheet = DecodeJpeg(bytes);

  for (const TSheetRegion& region : kSheetRegions) {
    TBitmap bitmap(region.Width, region.Height);  // starts white
    for (int y = 0; y < region.Height && region.Top + y < sheet.Height; ++y) {
      const std::uint8_t* src = sheet.Rgb.data() + (std::size_t(region.Top + y) * sheet.Width) * 3;
      for (int x = 0; x < region.Width && x < sheet.Width; ++x)
        bitmap.SetPixel(x, y, RGB(src[3 * x], src[3 * x + 1], src[3 * x + 2]));
    }
    Picture(region.Name).SetPicture(TPicture(std::move(bitmap)));
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
  if (running_) return;
  Guarded([this] {
    switch (ButtonAt(MouseX, MouseY)) {
      case TScreenButton::Install:
        CancelRequested = false;
        TargetDir.clear();
        DXTimer1.SetEnabled(false);
        try {
          if (Form2) Form2->ShowModal();
          if (!TargetDir.empty()) RunInstall();
        } catch (...) {
          DXTimer1.SetEnabled(true);
          throw;
        }
        DXTimer1.SetEnabled(true);
        if (quitAfterRun_) close();
        break;
      case TScreenButton::Nfo:
        DXTimer1.SetEnabled(false);
        try {
          if (Form3) {
            Form3->LoadFromFile(Settings.NfoFile);
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
  CancelRequested = true;
  btn_cancel = 1;
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
  if (running_) {
    // A close request in the middle of a run cancels it; the window closes once the
    // run has closed the archive.
    CancelRequested = true;
    btn_cancel = 1;
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
  if (TargetDir.empty()) return;
  running_ = true;
  // The run presents once per data piece; with no frame loop to pace, a present
  // inside a refresh that already showed a frame is dropped rather than waited for,
  // so that presenting never slows the unpacking (sets of many small files).
  DXDraw1Platform.SetDropLateFrames(true);
  struct RunningFlag {
    TForm1& form;
    ~RunningFlag() {
      form.DXDraw1Platform.SetDropLateFrames(false);
      form.running_ = false;
    }
  } runningFlag{*this};

  auto reset = [this] { Slides.Reset(); };
  if (!IsFile(Settings.Source)) {
    ShowErrorBox(ace::MissingArchiveText());
    return reset();
  }
  if (!IsFolder(TargetDir)) {
    std::error_code ec;
    fs::create_directories(fs::path(TargetDir), ec);
    if (!IsFolder(TargetDir)) {
      ShowErrorBox(ace::MissingFolderText());
      return reset();
    }
  }
  TargetDir = AddSlash(TargetDir);
  ProgressBar2.Position = 0;

  TACEOpenArchiveData open;
  open.ArchivePath = Settings.Source.c_str();
  open.Mode = 1;
  open.Reserved = 4;
  open.VolumeCallback = &VolumeCallback;
  open.DataCallback = &DataCallback;
  open.CallbackContext = this;
  TACEHandle handle = ACEOpenArchive(&open);
  if (open.Status != 0) {
    ACECloseArchive(handle);  // frees what the library made; the original leaves it open
    ShowReport(ace::OpenErrorText(open.Status, Settings.Source));
    return;
  }

  TACEHeaderData header;
  int code = ACEReadHeader(handle, &header);
  FilePercent = 0;
  FileSize = header.EntrySize;
  ProgressBar1 = 0;
  btn_cancel = 0;
  while (code == 0) {
    DrawProgressScreen(header);
    ProcessMessages();
    // An old file at the entry's path is not deleted first: the library writes the
    // entry beside it and replaces it only once the entry is complete and checked,
    // so a failed or cancelled entry leaves the old file as it was.
    const int result = ACEProcessFile(handle, ACE_EXTRACT, TargetDir.c_str());
    if (btn_cancel == 1) {
      ACECloseArchive(handle);
      return reset();
    }
    if (result != 0 && FileSize != 0) {
      ShowReport(ace::ProcessErrorText(result));
      break;
    }
    code = ACEReadHeader(handle, &header);
    FilePercent = 0;
    FileSize = header.EntrySize;
    ProgressBar1 = 0;
  }
  if (code != 0) ShowReport(ace::HeaderErrorText(code));
  ACECloseArchive(handle);
  if (!CancelRequested) PostInstallActions();
  reset();
}

void TForm1::DrawProgressScreen(const TACEHeaderData& header) {
  TDirectDrawSurface* surface = DXDraw1.Surface();
  Picture("screen_install").Draw(*surface, 15, 102, 0);
  DrawFileBar();
  const int volumeWidth = ClampWidth(VolumeBarWidth(Settings.NumFiles, ProgressBar2.Position));
  surface->FastCopy(Settings.VolumeBarOrigin.X, Settings.VolumeBarOrigin.Y, Bounds(0, 0, volumeWidth, 36), 0,
                    Picture("progbar2").PatternSurface(0));
  TDirectDrawSurfaceCanvas& canvas = surface->Canvas();
  canvas.BrushClear = true;
  canvas.FontName = "MS Sans Serif";
  canvas.FontSizePoints = 8;
  canvas.FontColor = RGB(255, 255, 255);
  canvas.TextOut(60, 130, FileLine(header.EntryName));
  canvas.TextOut(60, 230, ArchiveLine(ProgressBar2.Position, Settings.NumFiles, header.VolumeName));
  canvas.TextOut(60, 315, kCancelHint);
  canvas.Release();
}

void TForm1::DrawFileBar() {
  const int width = ClampWidth(FileBarWidth(ProgressBar1));
  DXDraw1.Surface()->FastCopy(Settings.FileBarOrigin.X, Settings.FileBarOrigin.Y, Bounds(0, 0, width, 36), 0,
                              Picture("progbar1").PatternSurface(0));
}

int TForm1::OnProcessData(const std::uint8_t*, std::int32_t count) {
  FilePercent = AddPieceToPercent(FilePercent, count, FileSize);
  ProgressBar1 = RoundHalfEven(FilePercent);
  DrawFileBar();
  ProcessMessages();
  const bool goOn = btn_cancel == 0;
  DXDraw1.Present();
  return goOn ? 1 : 0;
}

int TForm1::OnChangeVolume(const char* volumePath, int mode) {
  if (mode == ACE_VOLUME_NEXT) {
    setWindowTitle(QFile::decodeName(FileNamePart(volumePath).c_str()));
    ++ProgressBar2.Position;
    return 1;
  }
  if (mode == ACE_VOLUME_MISSING) ShowErrorBox(ace::MissingVolumeText(volumePath));
  return 0;
}

void TForm1::PostInstallActions() {
  if (IsFile(TargetDir + Settings.Execute)) ShellOpen(TargetDir + Settings.Execute);
  for (const std::string* name : {&Settings.RegFile1, &Settings.RegFile2}) {
    if (name->empty()) continue;
    std::error_code ec;
    fs::copy_file(ExeDir + *name, TargetDir + *name, fs::copy_options::overwrite_existing, ec);
    ShellOpen(TargetDir + *name);
  }
}

void TForm1::ShellOpen(const std::string& path) {
  if (options_.ShellOpen) return options_.ShellOpen(path);
  QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
}
