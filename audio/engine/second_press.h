// What a press on a sound's button does, by how the sound is set to take a press
// while it plays. The one rule every way of pressing follows: a click, a global
// hotkey, a remote "play". Pure code.
#pragma once

namespace kivora::audio {

// How a sound takes a press while it plays.
enum class SecondPress {
  Restart,  // cut off every sound that plays and start from the beginning (as always)
  Stop,     // stop it with a fade; a press while it is silent starts it
  Overlap,  // start another instance; what plays goes on
  Loop,     // play it round and round until pressed again
};

enum class PressAction {
  CutOffAllAndStart,  // every other sound stops, this one starts from its beginning
  StartAlongside,     // this one starts; what plays goes on
  StopIt,             // the voices of this sound fade out
};

// soundPlays: a voice of this sound is sounding now (not fading out after a stop).
constexpr PressAction ActionOfPress(SecondPress mode, bool soundPlays) {
  switch (mode) {
    case SecondPress::Restart: return PressAction::CutOffAllAndStart;
    case SecondPress::Overlap: return PressAction::StartAlongside;
    case SecondPress::Stop:
    case SecondPress::Loop: return soundPlays ? PressAction::StopIt : PressAction::StartAlongside;
  }
  return PressAction::CutOffAllAndStart;
}

}  // namespace kivora::audio
