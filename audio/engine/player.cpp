#include "audio/engine/player.h"

#include <windows.h>
#include <objbase.h>

#include <iterator>

#include "audio/engine/device_type.h"

namespace kivora::audio {
namespace {

constexpr long long kDeviceVolumeMaximum = 1000;
constexpr long long kDeviceStepsPerPercent = 10;

}  // namespace

std::wstring MakePlayerAlias() {
  GUID guid{};
  CoCreateGuid(&guid);
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, static_cast<int>(std::size(text)));
  // The text form is "{XXXXXXXX-XXXX-...}"; only the hyphens go. The braces are
  // part of that form, and MCI takes them as part of an alias like any other
  // character but a space.
  std::wstring alias;
  for (const wchar_t* c = text; *c; ++c) {
    if (*c != L'-') alias.push_back(*c);
  }
  return alias;
}

Player::Player(AudioBackend& backend) : Player(backend, MakePlayerAlias()) {}

Player::Player(AudioBackend& backend, std::wstring alias) : backend_(backend), alias_(std::move(alias)) {}

Player::~Player() { Close(); }

bool Player::Open(const std::wstring& path) {
  Close();
  return backend_.Open(std::wstring(DeviceTypeFor(path)), path, alias_) == 0;
}

bool Player::Play() {
  paused_ = false;
  return Send(L"play");
}

bool Player::PauseToggle() {
  const bool wasPaused = paused_;
  paused_ = !paused_;
  return Send(wasPaused ? L"resume" : L"pause");
}

bool Player::SetVolume(int left, int right) {
  const Channel leftResult = SetChannel(L"left", left);
  const Channel rightResult = SetChannel(L"right", right);
  return leftResult == Channel::Set && rightResult != Channel::Refused;
}

void Player::Close() { Send(L"close"); }

void Player::Press(const std::wstring& key, const std::wstring& path, int volume) {
  SoundPress press = shapeOf_ ? shapeOf_(key) : SoundPress{};
  press.key = key;
  switch (ActionOfPress(press.mode, backend_.Sounding(key))) {
    case PressAction::StopIt:
      backend_.StopSound(key);
      return;
    case PressAction::CutOffAllAndStart:
      backend_.ShapeNextSound(press, true);
      break;
    case PressAction::StartAlongside:
      backend_.ShapeNextSound(press, false);
      break;
  }
  OpenAndPlay(*this, path, volume);
}

void Player::Preview(SoundPress press, const std::wstring& path, int volume) {
  // Named apart from every button, so the preview before it is found and stopped.
  static const std::wstring kPreviewKey = L"试听";
  press.key = kPreviewKey;
  press.monitorOnly = true;
  // A preview is heard once: nothing would stop a loop but the next preview.
  press.clip.loop = false;
  backend_.StopSound(kPreviewKey);
  backend_.ShapeNextSound(press, false);
  OpenAndPlay(*this, path, volume);
}

bool Player::Send(const std::wstring& verb, const std::wstring& suffix) {
  return backend_.Send(verb + L" " + alias_ + suffix) == 0;
}

Player::Channel Player::SetChannel(const wchar_t* channel, int percent) {
  // Scaled in 64 bits: a stored slider position can be any int the settings held.
  const long long scaled = static_cast<long long>(percent) * kDeviceStepsPerPercent;
  if (scaled < 0 || scaled > kDeviceVolumeMaximum) return Channel::NotSent;
  const std::wstring suffix = std::wstring(L" ") + channel + L" volume to " + std::to_wstring(scaled);
  return Send(L"setaudio", suffix) ? Channel::Set : Channel::Refused;
}

bool ApplyVolumeAndPlay(Player& player, int volume) {
  player.SetVolume(volume, volume);
  return player.Play();
}

void OpenAndPlay(Player& player, const std::wstring& path, int volume) {
  player.Open(path);
  ApplyVolumeAndPlay(player, volume);
}

}  // namespace kivora::audio
