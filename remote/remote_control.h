// The remote control on the window's thread: it runs each command through the
// handlers a click runs, one at a time and in the order they came, and answers.
// Commands come from the control server's threads (Submit, which waits for the
// answer) and from a second Kivora process (WM_COPYDATA to the mailbox window,
// which a process finds by its class; see forwarding.h).
// Made, used and destroyed on the window thread; Submit may be called from any.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "remote/clip_lengths.h"
#include "remote/command_wire.h"
#include "remote/play_tracker.h"
#include "remote/remote_command.h"
#include "remote/remote_json.h"
#include "remote/sound_directory.h"

namespace kivora::remote {

// What the program lends the remote control: its sounds, and the handlers that
// its controls' clicks and keys run. Window thread only.
class RemoteActions {
 public:
  virtual ~RemoteActions() = default;
  virtual std::vector<SoundEntry> Sounds() = 0;
  virtual void Press(const SoundEntry& sound) = 0;  // the button's click
  virtual void PauseClick() = 0;                    // 按钮21 "停止播放"
  virtual void MuteClick() = 0;                     // 按钮22
  // The slider's page keys; false while the slider takes no input (muted by 按钮22).
  virtual bool VolumeStep(int step) = 0;
  virtual void StopSound() = 0;                     // the sound the player holds stops
  virtual void StopAll() = 0;                       // every sound stops, with the engine's fade
  virtual int Volume() = 0;
  virtual bool Muted() = 0;
  virtual bool Paused() = 0;
  // 麦克风静音: the microphone's mute flips, as its hotkey flips it.
  virtual void MicrophoneMuteToggle() = 0;
  virtual bool MicrophoneMuted() = 0;
};

struct Answer {
  Failure failure = Failure::None;
  std::wstring reason;
  std::string done;                // what was done: "played", "stopped", ...
  std::optional<SoundEntry> sound;  // the sound played
  PlaybackState state;             // after the command
  std::vector<SoundEntry> sounds;  // for RemoteVerb::Sounds
  bool listing = false;            // RemoteVerb::Sounds
  bool stateOnly = false;          // RemoteVerb::State
};

// The answer as JSON; a listing reads the sounds' lengths, from their files when
// not known yet.
std::string AnswerJson(const Answer& answer, ClipLengths& lengths);

// The class of the mailbox window a second process looks for.
inline constexpr wchar_t kRemoteMailboxClass[] = L"KivoraRemoteMailbox";
// WM_COPYDATA's dwData of a command, and of the answer sent back.
inline constexpr ULONG_PTR kCommandCopyData = 0x4B565243;  // "KVRC"

class RemoteControl {
 public:
  // devices: the chosen devices as the state tells them, kept by the owner.
  RemoteControl(RemoteActions& actions, PlayTracker& tracker, ClipLengths& lengths,
                const std::vector<DeviceStatus>& devices);
  ~RemoteControl();
  RemoteControl(const RemoteControl&) = delete;
  RemoteControl& operator=(const RemoteControl&) = delete;

  // Makes the mailbox window; false when it cannot be made.
  bool Open();

  // Runs command now. Window thread.
  Answer Execute(const RemoteCommand& command);

  // Any thread: has the window thread run command after those submitted before
  // it, and waits for its answer; Busy when the window did not get to it within
  // timeoutMs (it is then dropped, never run late).
  Answer Submit(const RemoteCommand& command, DWORD timeoutMs);

  PlaybackState State();

 private:
  struct Job {
    RemoteCommand command;
    std::optional<Answer> answer;
    bool abandoned = false;
  };
  void RunQueued();
  LRESULT OnCopyData(HWND sender, const COPYDATASTRUCT& data);
  static LRESULT CALLBACK MailboxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

  RemoteActions& actions_;
  PlayTracker& tracker_;
  ClipLengths& lengths_;
  const std::vector<DeviceStatus>& devices_;
  HWND mailbox_ = nullptr;

  std::mutex mutex_;  // guards queue_ and the jobs' answers
  std::condition_variable answered_;
  std::deque<std::shared_ptr<Job>> queue_;
  bool closing_ = false;
};

}  // namespace kivora::remote
