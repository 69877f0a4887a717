// The one media player through which every sound of the program plays. It holds
// at most one open sound, named by an alias of its own; opening a sound closes
// the one before it, so a new sound always cuts the old one off.
#pragma once

#include <functional>
#include <string>

#include "audio/engine/audio_backend.h"
#include "audio/engine/sound_press.h"

namespace kivora::audio {

// A fresh alias for one Player: the text form of a new GUID without its
// hyphens, e.g. "{0F8FAD5BD9CB469FA16570867728950E}".
std::wstring MakePlayerAlias();

class Player {
 public:
  explicit Player(AudioBackend& backend);
  Player(AudioBackend& backend, std::wstring alias);
  ~Player();  // closes the open sound
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Closes the open sound (which stops it), then opens path as a new sound at
  // its start, not playing. Leaves the paused flag alone. True when it opened.
  bool Open(const std::wstring& path);

  // Clears the paused flag and starts the open sound from where it stands; the
  // sound plays on in the background.
  bool Play();

  // Pauses when not paused, resumes otherwise. The flag flips even when nothing
  // is open, so the next toggle always sends the other command.
  bool PauseToggle();

  // Percentages, scaled by 10 to the device's 0..1000. A channel whose scaled
  // value lies outside 0..1000 is left alone. True only when the left channel
  // was set and the right one, if sent, was set too. Acts on the open sound
  // only: the next Open starts at the device's full loudness.
  bool SetVolume(int left, int right);

  // Closes the open sound, if any.
  void Close();

  // Where a press finds how the button's sound plays; unset, every sound plays
  // as it always did (cutting off the one before).
  void SetPressShapes(std::function<SoundPress(const std::wstring& key)> shapeOf) { shapeOf_ = std::move(shapeOf); }
  // A press on the button key, whose sound is the file at path: by the sound's
  // second-press mode it stops the sound, or opens and plays it (at volume),
  // cutting off what plays or alongside it.
  void Press(const std::wstring& key, const std::wstring& path, int volume);
  // Plays path shaped as press says, on the default device only, alongside what
  // plays; a preview before it stops.
  void Preview(SoundPress press, const std::wstring& path, int volume);
  // Fades out every sound: closing the open one lets every other go too.
  void StopAll() { Close(); }

  bool Paused() const { return paused_; }
  const std::wstring& Alias() const { return alias_; }

 private:
  // Sends "<verb> <alias><suffix>"; true when the device answered 0.
  bool Send(const std::wstring& verb, const std::wstring& suffix = {});

  enum class Channel { NotSent, Set, Refused };
  // Sends the volume of channel ("left" or "right") when it lies in range.
  Channel SetChannel(const wchar_t* channel, int percent);

  AudioBackend& backend_;
  std::wstring alias_;
  std::function<SoundPress(const std::wstring& key)> shapeOf_;
  bool paused_ = false;
};

// What every sound button does after its Open: the open sound takes the volume
// (the slider's position, both channels), then plays.
bool ApplyVolumeAndPlay(Player& player, int volume);

// What every sound button does: Open(path), then ApplyVolumeAndPlay. A file that
// cannot be opened gives silence: the sound before it is closed already.
void OpenAndPlay(Player& player, const std::wstring& path, int volume);

}  // namespace kivora::audio
