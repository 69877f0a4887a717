#include "remote/remote_control.h"

#include <chrono>

#include "base/message_window.h"
#include "remote/utf8.h"

namespace kivora::remote {
namespace {

constexpr UINT kRunQueued = WM_APP + 1;

Answer Refused(Failure failure, std::wstring reason) {
  Answer answer;
  answer.failure = failure;
  answer.reason = std::move(reason);
  return answer;
}

}  // namespace

std::string AnswerJson(const Answer& answer, ClipLengths& lengths) {
  if (answer.failure != Failure::None) return ErrorJson(answer.failure, ToUtf8(answer.reason));
  if (answer.stateOnly) return StateJson(answer.state);
  if (answer.listing) {
    std::vector<std::optional<int64_t>> lengthsMs;
    for (const SoundEntry& sound : answer.sounds) {
      lengthsMs.push_back(sound.empty ? std::nullopt : lengths.Get(sound.path));
    }
    return SoundsJson(answer.sounds, lengthsMs, answer.state);
  }
  return DoneJson(answer.done, answer.state, answer.sound ? &*answer.sound : nullptr);
}

RemoteControl::RemoteControl(RemoteActions& actions, PlayTracker& tracker, ClipLengths& lengths,
                             const std::vector<DeviceStatus>& devices)
    : actions_(actions), tracker_(tracker), lengths_(lengths), devices_(devices) {}

RemoteControl::~RemoteControl() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    for (auto& job : queue_) job->abandoned = true;
    queue_.clear();
  }
  answered_.notify_all();
  if (mailbox_) DestroyWindow(mailbox_);
}

bool RemoteControl::Open() {
  if (!mailbox_) mailbox_ = CreateMessageWindow(kRemoteMailboxClass, MailboxProc, this);
  return mailbox_ != nullptr;
}

PlaybackState RemoteControl::State() {
  PlaybackState state;
  state.volume = actions_.Volume();
  state.muted = actions_.Muted();
  state.paused = actions_.Paused();
  state.microphoneMuted = actions_.MicrophoneMuted();
  state.playing = tracker_.Current();
  state.devices = devices_;
  return state;
}

Answer RemoteControl::Execute(const RemoteCommand& command) {
  Answer answer;
  switch (command.verb) {
    case RemoteVerb::Play: {
      if (auto action = ActionNamed(command.name)) return Execute(*action);
      const std::vector<SoundEntry> sounds = actions_.Sounds();
      const FoundSound found = FindSound(sounds, command.name);
      if (!found.sound) return Refused(found.failure, found.reason);
      answer.sound = *found.sound;
      actions_.Press(*found.sound);
      answer.done = "played";
      break;
    }
    case RemoteVerb::Stop:
      actions_.StopSound();
      answer.done = "stopped";
      break;
    case RemoteVerb::StopAll:
      actions_.StopAll();
      answer.done = "stopped_all";
      break;
    case RemoteVerb::Pause:
      actions_.PauseClick();
      answer.done = actions_.Paused() ? "paused" : "resumed";
      break;
    case RemoteVerb::Mute:
      if (command.mute == MuteChoice::Toggle || actions_.Muted() != (command.mute == MuteChoice::On)) {
        actions_.MuteClick();
      }
      answer.done = actions_.Muted() ? "muted" : "unmuted";
      break;
    case RemoteVerb::MicrophoneMute:
      if (command.mute == MuteChoice::Toggle || actions_.MicrophoneMuted() != (command.mute == MuteChoice::On)) {
        actions_.MicrophoneMuteToggle();
      }
      answer.done = actions_.MicrophoneMuted() ? "microphone_muted" : "microphone_unmuted";
      break;
    case RemoteVerb::VolumeStep:
    case RemoteVerb::Volume:
      if (!actions_.VolumeStep(command.verb == RemoteVerb::Volume ? command.value - actions_.Volume() : command.value)) {
        return Refused(Failure::Muted, L"muted: the volume moves once sound is back on (--mute, POST /mute)");
      }
      answer.done = "volume";
      break;
    case RemoteVerb::State:
      answer.stateOnly = true;
      break;
    case RemoteVerb::Sounds:
      answer.listing = true;
      answer.sounds = actions_.Sounds();
      break;
  }
  answer.state = State();
  return answer;
}

Answer RemoteControl::Submit(const RemoteCommand& command, DWORD timeoutMs) {
  auto job = std::make_shared<Job>();
  job->command = command;
  std::unique_lock lock(mutex_);
  if (closing_ || !mailbox_) return Refused(Failure::Busy, L"Kivora is closing");
  queue_.push_back(job);
  if (queue_.size() == 1) PostMessageW(mailbox_, kRunQueued, 0, 0);
  const bool done = answered_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                       [&] { return job->answer.has_value() || job->abandoned; });
  if (done && job->answer) return std::move(*job->answer);
  job->abandoned = true;
  return Refused(Failure::Busy, L"the window did not get to the command in time (a dialog may be open)");
}

void RemoteControl::RunQueued() {
  for (;;) {
    std::shared_ptr<Job> job;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
      if (job->abandoned) continue;
    }
    Answer answer = Execute(job->command);
    {
      std::lock_guard lock(mutex_);
      job->answer = std::move(answer);
    }
    answered_.notify_all();
  }
}

LRESULT RemoteControl::OnCopyData(HWND sender, const COPYDATASTRUCT& data) {
  if (data.dwData != kCommandCopyData || data.cbData % sizeof(wchar_t) != 0 || data.cbData > 64 * 1024) return 0;
  const std::wstring_view text(static_cast<const wchar_t*>(data.lpData), data.cbData / sizeof(wchar_t));
  const std::optional<RemoteCommand> command = DecodeCommand(text);
  const Answer answer = command ? Execute(*command) : Refused(Failure::BadValue, L"a command this Kivora does not read");
  // The answer goes back to the sender's window while the sender waits for this one.
  std::string reply = answer.failure != Failure::None ? ToUtf8(answer.reason)
                      : (answer.listing || answer.stateOnly) ? AnswerJson(answer, lengths_)
                                                             : std::string();
  COPYDATASTRUCT back{static_cast<ULONG_PTR>(ExitCode(answer.failure)), static_cast<DWORD>(reply.size()), reply.data()};
  if (IsWindow(sender)) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(sender, WM_COPYDATA, reinterpret_cast<WPARAM>(mailbox_), reinterpret_cast<LPARAM>(&back),
                        SMTO_ABORTIFHUNG, 5000, &result);
  }
  return 1;
}

LRESULT CALLBACK RemoteControl::MailboxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  auto* self = reinterpret_cast<RemoteControl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && message == kRunQueued) {
    self->RunQueued();
    return 0;
  }
  if (self && message == WM_COPYDATA && lParam) {
    return self->OnCopyData(reinterpret_cast<HWND>(wParam), *reinterpret_cast<const COPYDATASTRUCT*>(lParam));
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kivora::remote
