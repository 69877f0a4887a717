// Message boxes have no owner, so one could open behind an always-on-top window.
// For the life of this guard the window is not on top; afterwards it goes back
// on top if that is the user's choice.
#pragma once

#include "ui/main_window.h"

namespace kivora::ui {

class ScopedTopmostLift {
 public:
  explicit ScopedTopmostLift(MainWindow& window) : window_(window) { window_.SetAlwaysOnTop(false); }
  ~ScopedTopmostLift() {
    if (window_.TopmostChoice()) window_.SetAlwaysOnTop(true);
  }
  ScopedTopmostLift(const ScopedTopmostLift&) = delete;
  ScopedTopmostLift& operator=(const ScopedTopmostLift&) = delete;

 private:
  MainWindow& window_;
};

}  // namespace kivora::ui
