// The main window's private parts, for its tests and the screenshot tool: they
// step frames, place the pointer and read the surface directly.
#pragma once

#include "unit1.h"

class TForm1Probe {
 public:
  explicit TForm1Probe(TForm1& form)
      : DXDraw1Window(form.DXDraw1Window),
        DXDraw1Platform(form.DXDraw1Platform),
        DXDraw1(form.DXDraw1),
        DXImageList1(form.DXImageList1),
        DXTimer1Slot(form.DXTimer1Slot),
        DXTimer1(form.DXTimer1),
        Slides(form.Slides),
        ButtonDown(form.ButtonDown),
        State(form.engine_.State()),
        Engine(form.engine_),
        Form2(form.Form2),
        Form3(form.Form3),
        form_(form) {}

  TDXDrawWidget* const& DXDraw1Window;
  QtDXDrawPlatform& DXDraw1Platform;
  TDXDraw& DXDraw1;
  TDXImageList& DXImageList1;
  QtIdleSlot& DXTimer1Slot;
  TDXTimer& DXTimer1;
  TSlideShow& Slides;
  int& ButtonDown;
  TRunState& State;
  TInstallEngine& Engine;
  TForm2*& Form2;
  TForm3*& Form3;

  void DXTimer1Timer(int lagCount) { form_.DXTimer1Timer(lagCount); }
  void DXDraw1MouseMove(int x, int y) { form_.DXDraw1MouseMove(x, y); }
  TPictureCollectionItem& Picture(const std::string& name) { return form_.Picture(name); }
  // The window as the run's view.
  TRunView& View() { return form_; }

 private:
  TForm1& form_;
};
