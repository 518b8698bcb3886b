// The main screen's layout and slideshow arithmetic, apart from any window.
#pragma once

#include <array>
#include <string_view>

enum class TScreenButton { None, Install, Nfo, Quit };

struct TButtonPlace {
  TScreenButton Button;
  std::string_view PictureStem;  // "info_install" + 1, 2 or 3
  int Left, Top;                 // where its pictures are drawn
  // Hit zone: Left < x < ZoneRight and Top < y < 400, all strict.
  int ZoneRight;
};

// In drawing order.
inline constexpr std::array<TButtonPlace, 3> kButtons{{
    {TScreenButton::Install, "info_install", 7, 368, 90},
    {TScreenButton::Nfo, "info_nfo", 101, 368, 200},
    {TScreenButton::Quit, "info_quit", 212, 368, 265},
}};

inline constexpr int kSlideLeft = 15;
inline constexpr int kSlideTop = 102;
inline constexpr int kSlideWidth = 471;
inline constexpr int kSlideHeight = 258;

// The button whose zone holds (x, y), or None.
TScreenButton ButtonAt(int x, int y);

// Picture number of a button: 1 outside its zone, 2 inside with no mouse button
// held, 3 inside while one is held.
int ButtonPictureNumber(const TButtonPlace& place, int mouseX, int mouseY, int buttonDown);

// The slideshow's state: which slide, its blend value, and the hold between the
// fade-in and the fade-out. One Advance per frame.
struct TSlideShow {
  int SlideIndex = 0;
  int SlideAlpha = 0;
  int AlphaStep = 4;
  bool SlideHolding = false;
  int HoldCount = 0;

  void Reset() { *this = TSlideShow{}; }
  void Advance();
};
