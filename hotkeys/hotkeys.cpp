#include "hotkeys/hotkeys.h"

#include <commctrl.h>

#include <algorithm>

namespace kivora {
namespace {

// Held down, a key repeats; MOD_NOREPEAT makes the system send one WM_HOTKEY per press.
constexpr UINT kReleasePollMilliseconds = 15;
// A key let go while no window of Wine had the X focus can stay down in Wine's key
// state; after this long the watch stops waiting, and a key still held repeats once.
constexpr ULONGLONG kLongestWatchMilliseconds = 5000;

// Every Kivora window whose keys are registered carries this property, and answers
// the message with 1 when it holds the key in (modifiers, virtual key).
constexpr wchar_t kAnswersProperty[] = L"Kivora.Hotkeys";
constexpr UINT_PTR kAnswerSubclassId = 0x4B48;  // "KH"
constexpr UINT kAnswerTimeoutMilliseconds = 500;

UINT HoldsKeyMessage() {
  static const UINT message = RegisterWindowMessageW(L"Kivora.Hotkeys.HoldsKey");
  return message;
}

bool RegisterOne(HWND window, int id, Hotkey key) {
  return RegisterHotKey(window, id, key.modifiers | MOD_NOREPEAT, key.key) != FALSE;
}

}  // namespace

Hotkeys::~Hotkeys() {
  UnregisterAll();
  if (window_ && IsWindow(window_)) {
    RemoveWindowSubclass(window_, AnswerProc, kAnswerSubclassId);
    RemovePropW(window_, kAnswersProperty);
  }
}

void Hotkeys::SetTargets(std::vector<HotkeyTarget> targets) {
  UnregisterAll();
  targets_ = std::move(targets);
  bindings_.assign(targets_.size(), {});
}

std::vector<std::wstring> Hotkeys::Restore(HWND window, const SavedSettings& saved) {
  window_ = window;
  AnswerOtherCopies(window);
  std::vector<std::wstring> keys;
  for (const HotkeyTarget& target : targets_) keys.push_back(target.settingsKey);
  const std::vector<std::wstring> texts = saved.Hotkeys(keys);
  for (size_t row = 0; row < targets_.size(); ++row) {
    std::optional<Hotkey> key = ParseHotkey(texts[row]);
    if (!key || ReservedReason(*key)) continue;
    const bool repeated = std::any_of(bindings_.begin(), bindings_.begin() + static_cast<std::ptrdiff_t>(row),
                                      [&](const HotkeyBinding& other) { return other.key == key; });
    if (!repeated) bindings_[row].key = key;
  }
  RegisterAll();
  std::vector<std::wstring> taken;
  for (size_t row = 0; row < targets_.size(); ++row) {
    if (bindings_[row].Taken() && !HeldByAnotherCopy(*bindings_[row].key)) taken.push_back(FormatHotkey(*bindings_[row].key) + L"（" + targets_[row].caption() + L"）");
  }
  return taken;
}

// Wine ignores MOD_NOREPEAT and sends WM_HOTKEY for every autorepeat of a held key,
// so a row that fired stays quiet until its key is seen up. The watch is a timer whose
// identifier is this object's address.
void Hotkeys::OnHotkey(int id) {
  const size_t row = static_cast<size_t>(id - 1);
  if (id < 1 || row >= targets_.size() || !bindings_[row].key || id == heldId_) return;
  heldId_ = id;
  heldKey_ = bindings_[row].key->key;
  heldSince_ = GetTickCount64();
  SetTimer(window_, reinterpret_cast<UINT_PTR>(this), kReleasePollMilliseconds, WatchRelease);
  if (targets_[row].press) targets_[row].press();
}

void CALLBACK Hotkeys::WatchRelease(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
  auto* self = reinterpret_cast<Hotkeys*>(timer);
  const bool down = (GetAsyncKeyState(static_cast<int>(self->heldKey_)) & 0x8000) != 0;
  if (!down || GetTickCount64() - self->heldSince_ > kLongestWatchMilliseconds) self->StopWatchingRelease();
}

void Hotkeys::StopWatchingRelease() {
  if (heldId_ != 0) KillTimer(window_, reinterpret_cast<UINT_PTR>(this));
  heldId_ = 0;
}

void Hotkeys::Suspend() { UnregisterAll(); }

void Hotkeys::Resume() { RegisterAll(); }

bool Hotkeys::HeldElsewhere(Hotkey key) const {
  // The only way to ask is to try; an identifier no row uses, given back at once.
  constexpr int kProbeId = 0xBFFF;
  if (!RegisterOne(window_, kProbeId, key)) return GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED;
  UnregisterHotKey(window_, kProbeId);
  return false;
}

void Hotkeys::AnswerOtherCopies(HWND window) {
  if (!window || GetPropW(window, kAnswersProperty)) return;
  SetWindowSubclass(window, AnswerProc, kAnswerSubclassId, reinterpret_cast<DWORD_PTR>(this));
  SetPropW(window, kAnswersProperty, reinterpret_cast<HANDLE>(1));
}

LRESULT CALLBACK Hotkeys::AnswerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) noexcept {
  if (message == HoldsKeyMessage()) {
    const auto* self = reinterpret_cast<const Hotkeys*>(data);
    return self->Holds({static_cast<std::uint32_t>(wParam), static_cast<std::uint32_t>(lParam)}) ? 1 : 0;
  }
  if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, AnswerProc, kAnswerSubclassId);
    RemovePropW(hwnd, kAnswersProperty);
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

bool Hotkeys::Holds(Hotkey key) const {
  return std::any_of(bindings_.begin(), bindings_.end(),
                     [&](const HotkeyBinding& binding) { return binding.registered && binding.key == key; });
}

// Asks every other window that answers for its keys; one that hangs is given up on.
bool Hotkeys::HeldByAnotherCopy(Hotkey key) const {
  struct Question {
    HWND own;
    Hotkey key;
    bool held = false;
  } question{window_, key};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto& asked = *reinterpret_cast<Question*>(data);
        if (window == asked.own || !GetPropW(window, kAnswersProperty)) return TRUE;
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(window, HoldsKeyMessage(), asked.key.modifiers, asked.key.key,
                                SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerTimeoutMilliseconds, &answer) && answer == 1) {
          asked.held = true;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&question));
  return question.held;
}

void Hotkeys::Apply(const std::vector<std::optional<Hotkey>>& keys) {
  UnregisterAll();
  std::vector<std::optional<Hotkey>> before;
  for (size_t row = 0; row < bindings_.size(); ++row) {
    before.push_back(bindings_[row].key);
    if (row < keys.size()) bindings_[row].key = keys[row];
  }
  RegisterAll();
  for (size_t row = 0; row < bindings_.size(); ++row) {
    const HotkeyBinding& binding = bindings_[row];
    if (binding.key == before[row] || binding.Taken()) continue;
    settings_.WriteHotkey(targets_[row].settingsKey, binding.key ? FormatHotkey(*binding.key) : L"");
  }
}

void Hotkeys::RegisterAll() {
  for (size_t row = 0; row < bindings_.size(); ++row) {
    HotkeyBinding& binding = bindings_[row];
    if (binding.key && !binding.registered && window_) binding.registered = RegisterOne(window_, HotkeyIdOf(row), *binding.key);
  }
}

void Hotkeys::UnregisterAll() {
  StopWatchingRelease();
  for (size_t row = 0; row < bindings_.size(); ++row) {
    if (!bindings_[row].registered) continue;
    UnregisterHotKey(window_, HotkeyIdOf(row));
    bindings_[row].registered = false;
  }
}

}  // namespace kivora
