// A press on a sound's button as the player takes it: which button, how its sound
// takes a second press, and how it plays (level, fades, trim, loop). Pure code.
#pragma once

#include <string>

#include "audio/dsp/shaped_clip.h"
#include "audio/engine/second_press.h"

namespace kivora::audio {

struct SoundPress {
  std::wstring key;  // the button's name; the sounds it started are found by it
  SecondPress mode = SecondPress::Restart;
  ClipShape clip;
  bool monitorOnly = false;  // a preview: heard on the default device only
};

}  // namespace kivora::audio
