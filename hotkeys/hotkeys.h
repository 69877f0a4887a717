// Global hotkeys: one row per thing a key can do (a sound button, or pause, mute
// and the volume steps), each with at most one key, registered with the system
// on the main window. The rows' keys are kept in section 热键 of the settings file.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hotkeys/hotkey_text.h"
#include "settings/settings_store.h"

namespace kivora {

// One row: its key in the settings file, where it belongs, what it shows, and
// what a press does (the same handler as a click on its button).
struct HotkeyTarget {
  std::wstring settingsKey;              // "按钮23", "停止播放", ...
  std::wstring group;                    // the page title, or "播放控制"
  std::function<std::wstring()> caption;  // read when shown: a custom slot's name changes
  std::function<void()> press;
};

// A row's key and whether the system gave it to Kivora.
struct HotkeyBinding {
  std::optional<Hotkey> key;
  bool registered = false;
  bool Taken() const { return key && !registered; }
};

class Hotkeys {
 public:
  explicit Hotkeys(SettingsStore& settings) : settings_(settings) {}
  ~Hotkeys();
  Hotkeys(const Hotkeys&) = delete;
  // (The destructor also stops answering other copies' questions.)
  Hotkeys& operator=(const Hotkeys&) = delete;

  void SetTargets(std::vector<HotkeyTarget> targets);
  const std::vector<HotkeyTarget>& Targets() const { return targets_; }
  const std::vector<HotkeyBinding>& Bindings() const { return bindings_; }

  // At start-up: the keys saved are registered on window. A text that does not
  // read as a usable key, or repeats another row's key, is ignored.
  // Returns "<key>（<caption>）" for each saved key that another program holds; a
  // key another copy of Kivora holds (started earlier, with the same settings) is
  // no conflict and is not named.
  std::vector<std::wstring> Restore(HWND window, const SavedSettings& saved);

  // WM_HOTKEY: the row's press, once per press however long the key is held.
  void OnHotkey(int id);

  // While the settings dialog is open the keys are let go, so that they can be
  // typed into its fields; Resume takes them again as they were.
  void Suspend();
  void Resume();
  // Whether another program holds the key right now.
  bool HeldElsewhere(Hotkey key) const;
  // Whether another running Kivora holds it: each answers for its own keys.
  bool HeldByAnotherCopy(Hotkey key) const;
  // The dialog's 确定: each row gets its key (nothing: none) and every key is
  // registered again. Rows whose key changed are written, except a key another
  // program holds: it is shown as taken and not kept.
  void Apply(const std::vector<std::optional<Hotkey>>& keys);

  // Before the window goes: every key is given back to the system.
  void UnregisterAll();

 private:
  void RegisterAll();
  void StopWatchingRelease();
  void AnswerOtherCopies(HWND window);
  bool Holds(Hotkey key) const;
  static LRESULT CALLBACK AnswerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR data) noexcept;
  static void CALLBACK WatchRelease(HWND window, UINT message, UINT_PTR timer, DWORD time) noexcept;

  SettingsStore& settings_;
  HWND window_ = nullptr;
  std::vector<HotkeyTarget> targets_;
  std::vector<HotkeyBinding> bindings_;
  int heldId_ = 0;       // the row that fired and whose key is not let go yet; 0: none
  UINT heldKey_ = 0;
  ULONGLONG heldSince_ = 0;
};

// The identifier a row registers its key under, and back.
inline int HotkeyIdOf(size_t row) { return static_cast<int>(row) + 1; }

}  // namespace kivora
