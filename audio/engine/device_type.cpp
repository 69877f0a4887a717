#include "audio/engine/device_type.h"

#include <array>
#include <string>

namespace kivora::audio {
namespace {

struct ExtensionDevice {
  std::wstring_view extension;  // lower case, at most three characters
  std::wstring_view deviceType;
};

constexpr std::array<ExtensionDevice, 17> kDevices = {{
    {L"wav", L"waveaudio"},  {L"avi", L"avivideo"},    {L"cda", L"cdaudio"},     {L"mid", L"Sequencer"},
    {L"rmi", L"Sequencer"},  {L"idi", L"Sequencer"},   {L"wma", L"MPEGvideo2"},  {L"asf", L"MPEGvideo2"},
    {L"asx", L"MPEGvideo2"}, {L"ivf", L"MPEGvideo2"},  {L"lsf", L"MPEGvideo2"},  {L"lsx", L"MPEGvideo2"},
    {L"p2v", L"MPEGvideo2"}, {L"wax", L"MPEGvideo2"},  {L"wvx", L"MPEGvideo2"},  {L"wmx", L"MPEGvideo2"},
    {L"wmp", L"MPEGvideo2"},
}};

constexpr std::wstring_view kDefaultDevice = L"MPEGvideo";

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

// Up to three characters after the last dot of the last path component. A dot
// in a folder name says nothing about the file: "C:\a.wav\clip" has no extension.
std::wstring ExtensionKey(std::wstring_view path) {
  const size_t nameStart = path.find_last_of(L"\\/");
  const std::wstring_view name = nameStart == std::wstring_view::npos ? path : path.substr(nameStart + 1);
  const size_t dot = name.rfind(L'.');
  if (dot == std::wstring_view::npos) return {};
  std::wstring key;
  for (wchar_t c : name.substr(dot + 1, 3)) key.push_back(AsciiLower(c));
  return key;
}

}  // namespace

std::wstring_view DeviceTypeFor(std::wstring_view path) {
  const std::wstring key = ExtensionKey(path);
  for (const ExtensionDevice& device : kDevices) {
    if (device.extension == key) return device.deviceType;
  }
  return kDefaultDevice;
}

}  // namespace kivora::audio
