// The caption of every window as the window system gets it: the program's windows
// are shown on a real X server under a real window manager, and the title
// properties of each top-level window are read back from the server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QToolButton>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "message_boxes.h"
#include "picture_images.h"
#include "qt_modal.h"
#include "test_support.h"
#include "release_fixture.h"
#include "unit1_probe.h"
#include "startup.h"
#include "unace.h"
#include "unit1.h"
#include "unit2.h"
#include "unit3.h"
#include "x_session.h"

namespace {

test_support::XSession* session = nullptr;

// A property of a window as the server holds it, as bytes; empty when unset.
std::string Property(xcb_connection_t* c, xcb_window_t window, const char* name) {
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, std::strlen(name), name), nullptr);
  const xcb_atom_t property = atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
  std::free(atom);
  if (property == XCB_ATOM_NONE) return {};
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
  std::string value;
  if (reply != nullptr) {
    value.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                 static_cast<std::size_t>(xcb_get_property_value_length(reply)));
  }
  std::free(reply);
  return value;
}

struct Titles {
  std::string NetWmName;  // UTF-8, what window managers show
  std::string WmName;     // the older property, for those that read only it
};

// The titles of a shown top-level window. They are asked for on Qt's own
// connection, so the server has handled every title change Qt sent before.
Titles TitlesOf(QWidget* window) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr) {
    ADD_FAILURE() << "the application is not on an X server";
    return {};
  }
  const auto id = static_cast<xcb_window_t>(window->winId());
  return {Property(x11->connection(), id, "_NET_WM_NAME"), Property(x11->connection(), id, "WM_NAME")};
}

// Shows a modal window through `show`, reads its titles once it is up, and closes
// it. `except` is a modal window already open beneath it.
Titles ReadModal(const std::function<void()>& show, QWidget* except = nullptr) {
  Titles seen;
  test_support::WhenModal(
      [&seen](QWidget* window) {
        seen = TitlesOf(window);
        window->close();
      },
      except);
  show();
  return seen;
}

// The program's windows, made as start-up makes them, over a release folder.
struct Windows {
  TReleaseFolder release;
  std::unique_ptr<TForm1> form1;
  std::unique_ptr<TForm2> form2;
  TForm3 form3;
};

struct CaptionRow {
  const char* window;
  std::function<Titles(Windows&)> show;  // shows the window, reads its titles, closes it
  std::string caption;
};

const CaptionRow kRows[] = {
    {"main window",
     [](Windows& w) {
       w.form1->show();
       return TitlesOf(w.form1.get());
     },
     "Install"},
    {"main window, moving on to the next volume",
     [](Windows& w) {
       w.form1->show();
       TForm1Probe(*w.form1).View().VolumeChanged("release.c00");
       return TitlesOf(w.form1.get());
     },
     "release.c00"},
    {"destination folder", [](Windows& w) { return ReadModal([&] { w.form2->ShowModal(); }); },
     "Install to.."},
    {"new folder name prompt",
     [](Windows& w) {
       Titles seen;
       test_support::WhenModal([&seen](QWidget* dialog) {
         auto* button = dialog->findChild<QToolButton*>("SpeedButton3");
         if (button == nullptr) ADD_FAILURE() << "the folder dialog has no New folder button";
         else seen = ReadModal([button] { button->click(); }, dialog);
         dialog->close();
       });
       w.form2->ShowModal();
       return seen;
     },
     "New folder"},
    {"NFO viewer",
     [](Windows& w) {
       w.form3.LoadFromFile(w.release.Dir() + "release.nfo");
       return ReadModal([&] { w.form3.ShowModal(); });
     },
     "View .nfo"},
    {"error box", [](Windows&) { return ReadModal([] { ShowErrorBox("Error: Can't find file"); }); },
     "Error"},
    {"warning box", [](Windows&) { return ReadModal([] { ShowWarningBox("Cannot create directory"); }); },
     "Warning"},
    {"general error report",
     [](Windows&) { return ReadModal([] { ShowErrorReport("Cannot open file release.nfo"); }); },
     "Install"},
};

TEST(WindowCaptions, EveryWindowShowsExactlyItsCaption) {
  if (!session->Running()) GTEST_SKIP() << "no X display for this test: " << session->Problem();
  SetUpInstallerApplication();

  // The folder dialog starts in the working folder, where "New folder" makes one.
  test_support::TempFolder here;
  ASSERT_EQ(::chdir(here.Path().string().c_str()), 0);

  Windows w;
  w.release.WriteIni("NFOFILE=release.nfo\nNUMFILES=3\n");
  w.release.WriteSheet();
  w.release.WriteFile("release.nfo", "release notes\r\n");
  std::vector<TMessageBoxRequest> startupBoxes;
  SetMessageBoxHook([&](const TMessageBoxRequest& box) { startupBoxes.push_back(box); });
  TForm1Options options;
  options.ExeDir = w.release.Dir();
  w.form1 = std::make_unique<TForm1>(options);
  SetMessageBoxHook({});
  ASSERT_FALSE(w.form1->StartupFailed());
  ASSERT_TRUE(startupBoxes.empty()) << startupBoxes.front().Text;
  w.form2 = std::make_unique<TForm2>(w.form1->TargetDir(), "new release",
                                     [](std::string_view name) { return EmbeddedImage(name); });

  for (const CaptionRow& row : kRows) {
    SCOPED_TRACE(row.window);
    const Titles seen = row.show(w);
    EXPECT_EQ(seen.NetWmName, row.caption) << "_NET_WM_NAME";
    EXPECT_EQ(seen.WmName, row.caption) << "WM_NAME";
  }
  w.form1->close();
}

}  // namespace

// The display is made before the QApplication (which the test support makes
// as the tests begin): on it when it could be started, offscreen otherwise, so that
// the test can say why it is skipped.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  test_support::XSession x;
  session = &x;
  ::setenv("QT_QPA_PLATFORM", x.Start() ? "xcb" : "offscreen", 1);
  return RUN_ALL_TESTS();
}
