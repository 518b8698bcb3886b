#include "main_screen.h"

TScreenButton ButtonAt(int x, int y) {
  for (const TButtonPlace& place : kButtons)
    if (place.Left < x && x < place.ZoneRight && place.Top < y && y < 400) return place.Button;
  return TScreenButton::None;
}

int ButtonPictureNumber(const TButtonPlace& place, int mouseX, int mouseY, int buttonDown) {
  if (ButtonAt(mouseX, mouseY) != place.Button) return 1;
  return buttonDown ? 3 : 2;
}

void TSlideShow::Advance() {
  if (SlideHolding) {
    if (++HoldCount > 200) {
      HoldCount = 0;
      SlideHolding = false;
    }
    return;
  }
  SlideAlpha += AlphaStep;
  if (SlideAlpha > 251) {
    AlphaStep = -4;
    SlideHolding = true;
  }
  // Tested in the same frame, so a slide that has faded out hands over at once.
  if (SlideAlpha < 1) {
    AlphaStep = 4;
    if (++SlideIndex > 2) SlideIndex = 0;
  }
}
