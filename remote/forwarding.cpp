#include "remote/forwarding.h"

#include <vector>

#include "base/message_window.h"
#include "remote/remote_control.h"

namespace kivora::remote {
namespace {

constexpr wchar_t kRunningMutex[] = L"Local\\Kivora.Running";
constexpr wchar_t kReplyWindowClass[] = L"KivoraRemoteReply";
// A copy that was just started takes a moment before its mailbox is there.
constexpr DWORD kMailboxWaitMs = 10000;
constexpr DWORD kAnswerWaitMs = 15000;

struct Reply {
  bool arrived = false;
  int exitCode = 0;
  std::string text;
};

LRESULT CALLBACK ReplyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_COPYDATA && lParam) {
    auto* reply = reinterpret_cast<Reply*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (reply) {
      reply->arrived = true;
      reply->exitCode = static_cast<int>(data.dwData);
      reply->text.assign(static_cast<const char*>(data.lpData), data.cbData);
    }
    return 1;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND FindMailbox(bool wait) {
  const ULONGLONG deadline = GetTickCount64() + (wait ? kMailboxWaitMs : 0);
  for (;;) {
    if (HWND mailbox = FindWindowExW(HWND_MESSAGE, nullptr, kRemoteMailboxClass, nullptr)) return mailbox;
    if (GetTickCount64() >= deadline) return nullptr;
    Sleep(50);
  }
}

ForwardResult Failed(Failure failure, std::string text) { return {ExitCode(failure), std::move(text), failure}; }

}  // namespace

RunningMark::RunningMark() : mutex_(CreateMutexW(nullptr, FALSE, kRunningMutex)) {
  othersRan_ = mutex_ && GetLastError() == ERROR_ALREADY_EXISTS;
}

ForwardResult Forward(const RemoteCommand& command, bool someoneRuns) {
  HWND mailbox = FindMailbox(someoneRuns);
  if (!mailbox) return Failed(Failure::NotRunning, "Kivora is not running");
  Reply reply;
  HWND replyWindow = CreateMessageWindow(kReplyWindowClass, ReplyProc, &reply);
  if (!replyWindow) return Failed(Failure::NotRunning, "no window for the answer could be made");
  const std::wstring text = EncodeCommand(command);
  COPYDATASTRUCT data{kCommandCopyData, static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                      const_cast<wchar_t*>(text.data())};
  DWORD_PTR handled = 0;
  // The answer arrives as a message sent to replyWindow while this call waits.
  const LRESULT sent = SendMessageTimeoutW(mailbox, WM_COPYDATA, reinterpret_cast<WPARAM>(replyWindow),
                                           reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, kAnswerWaitMs, &handled);
  DestroyWindow(replyWindow);
  if (!sent) return Failed(Failure::Busy, "Kivora did not answer in time");
  if (!handled || !reply.arrived) return Failed(Failure::NotRunning, "the running Kivora does not take commands");
  return {reply.exitCode, std::move(reply.text), reply.exitCode == 0 ? Failure::None : Failure::BadValue};
}

}  // namespace kivora::remote
