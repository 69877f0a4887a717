#include "hotkeys/hotkeys.h"

#include <algorithm>

namespace kivora {
namespace {

// Held down, a key repeats; MOD_NOREPEAT makes the system send one WM_HOTKEY per press.
constexpr UINT kReleasePollMilliseconds = 15;
// A key let go while no window of Wine had the X focus can stay down in Wine's key
// state; after this long the watch stops waiting, and a key still held repeats once.
constexpr ULONGLONG kLongestWatchMilliseconds = 5000;

bool RegisterOne(HWND window, int id, Hotkey key) {
  return RegisterHotKey(window, id, key.modifiers | MOD_NOREPEAT, key.key) != FALSE;
}

}  // namespace

void Hotkeys::SetTargets(std::vector<HotkeyTarget> targets) {
  UnregisterAll();
  targets_ = std::move(targets);
  bindings_.assign(targets_.size(), {});
}

std::vector<std::wstring> Hotkeys::Restore(HWND window, const SavedSettings& saved) {
  window_ = window;
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
    if (bindings_[row].Taken()) taken.push_back(FormatHotkey(*bindings_[row].key) + L"（" + targets_[row].caption() + L"）");
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
