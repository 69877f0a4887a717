#include "remote/remote_section.h"

#include "remote/control_server.h"
#include "remote/random_token.h"

namespace kivora::remote {
namespace {

constexpr COLORREF kWarningColour = RGB(210, 0, 0);
constexpr int kRow = 28;
constexpr int kLabelWidth = 40;
constexpr int kFieldHeight = 22;

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring AddressOf(int port) { return L"http://127.0.0.1:" + std::to_wstring(port) + L"/"; }

void CopyToClipboard(HWND owner, const std::wstring& text) {
  if (!OpenClipboard(owner)) return;
  EmptyClipboard();
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* target = GlobalLock(memory)) {
      memcpy(target, text.c_str(), bytes);
      GlobalUnlock(memory);
      if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

}  // namespace

RemoteSection::RemoteSection(RemoteFeature& feature) : feature_(feature), token_(feature.Config().token) {
  if (token_.empty()) token_ = NewRandomToken();
}

void RemoteSection::Create(SettingsPane& page) {
  const int width = page.Width();
  const RemoteConfig& config = feature_.Config();
  int y = 4;
  enabled_ = page.Add(L"BUTTON", std::wstring(kRemoteCheckBoxText).c_str(), BS_AUTOCHECKBOX | WS_TABSTOP,
                      {0, y, width, y + kFieldHeight});
  SendMessageW(enabled_, BM_SETCHECK, config.enabled ? BST_CHECKED : BST_UNCHECKED, 0);
  y += kRow + 4;
  page.Add(L"STATIC", L"端口：", SS_LEFT, {0, y + 3, kLabelWidth, y + kFieldHeight});
  port_ = page.Add(L"EDIT", std::to_wstring(config.port).c_str(), WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL,
                   {kLabelWidth, y, kLabelWidth + 70, y + kFieldHeight});
  SendMessageW(port_, EM_LIMITTEXT, 5, 0);
  y += kRow;
  page.Add(L"STATIC", L"地址：", SS_LEFT, {0, y + 3, kLabelWidth, y + kFieldHeight});
  address_ = page.Add(L"EDIT", L"", WS_BORDER | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP,
                      {kLabelWidth, y, width, y + kFieldHeight});
  y += kRow;
  page.Add(L"STATIC", L"令牌：", SS_LEFT, {0, y + 3, kLabelWidth, y + kFieldHeight});
  tokenField_ = page.Add(L"EDIT", token_.c_str(), WS_BORDER | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP,
                         {kLabelWidth, y, width, y + kFieldHeight});
  y += kRow;
  regenerate_ = page.Add(L"BUTTON", L"重新生成", BS_PUSHBUTTON | WS_TABSTOP, {kLabelWidth, y, kLabelWidth + 80, y + 24});
  copy_ = page.Add(L"BUTTON", L"复制令牌", BS_PUSHBUTTON | WS_TABSTOP, {kLabelWidth + 88, y, kLabelWidth + 168, y + 24});
  y += kRow + 6;
  status_ = page.Add(L"STATIC", L"", SS_LEFT, {0, y, width, y + 2 * kFieldHeight});
  y += 2 * kFieldHeight + 4;
  page.Add(L"STATIC",
           L"开启后，控制台、Stream Deck 和脚本可以通过这个地址播放音效、停止、静音和调音量；"
           L"每个请求都要带上令牌。服务只在本机（127.0.0.1）上监听。",
           SS_LEFT, {0, y, width, y + 4 * 18});
  ShowAddress();
  const ServerStatus& status = feature_.Status();
  switch (status.state) {
    case ServerStatus::State::Off: ShowStatus(L"遥控没有开启。", false); break;
    case ServerStatus::State::Running: ShowStatus(L"正在运行：" + AddressOf(status.port), false); break;
    case ServerStatus::State::PortInUse:
      ShowStatus(L"端口 " + std::to_wstring(status.port) + L" 已被其他程序占用，遥控没有开启。请换一个端口。", true);
      break;
    case ServerStatus::State::Failed: ShowStatus(L"遥控没有开启：" + status.detail, true); break;
  }
}

void RemoteSection::OnCommand(HWND control, WORD code) {
  if (control == regenerate_ && code == BN_CLICKED) {
    const std::wstring fresh = NewRandomToken();
    if (!fresh.empty()) token_ = fresh;
    SetWindowTextW(tokenField_, token_.c_str());
    ShowStatus(L"新令牌在按“确定”后生效，旧令牌随即失效。", false);
  } else if (control == copy_ && code == BN_CLICKED) {
    CopyToClipboard(GetParent(control), token_);
    ShowStatus(L"令牌已复制到剪贴板。", false);
  } else if (control == port_ && code == EN_CHANGE) {
    ShowAddress();
  }
}

std::optional<COLORREF> RemoteSection::TextColour(HWND label) const {
  if (label == status_ && problem_) return kWarningColour;
  return std::nullopt;
}

std::optional<int> RemoteSection::ChosenPort() const { return ParsePort(TextOf(port_)); }

bool RemoteSection::ChosenOn() const { return SendMessageW(enabled_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void RemoteSection::ShowAddress() {
  const std::optional<int> port = ChosenPort();
  SetWindowTextW(address_, port ? AddressOf(*port).c_str() : L"");
}

void RemoteSection::ShowStatus(std::wstring text, bool problem) {
  problem_ = problem;
  SetWindowTextW(status_, text.c_str());
  InvalidateRect(status_, nullptr, TRUE);
}

// A port that cannot serve is said here, and the dialog stays open on it.
bool RemoteSection::Validate() {
  const std::optional<int> port = ChosenPort();
  if (!port) {
    ShowStatus(L"端口要是 1024 到 65535 之间的数。", true);
    return false;
  }
  const ServerStatus& status = feature_.Status();
  const bool ours = status.state == ServerStatus::State::Running && status.port == *port;
  if (ChosenOn() && !ours && LoopbackPortTaken(*port)) {
    ShowStatus(L"端口 " + std::to_wstring(*port) + L" 已被其他程序占用，请换一个端口。", true);
    return false;
  }
  return true;
}

void RemoteSection::Apply() {
  RemoteConfig config = feature_.Config();
  config.enabled = ChosenOn();
  config.port = ChosenPort().value_or(config.port);
  config.token = token_;
  feature_.Apply(config);
}

}  // namespace kivora::remote
