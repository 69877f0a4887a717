// Fuzzes a sound's line in section 声音 as a hand-edited settings file may hold it:
// whatever reads, written back, reads as the same sound; every value read lies in
// its range; the line written survives the settings file unchanged.
//   input: one byte whose lowest bit says the sound is a custom one (trimmable),
//          then the line's bytes in GBK, as the file holds them
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "base/gbk_text.h"
#include "settings/settings_text.h"
#include "sound_settings/sound_shape.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "sound shape: %s\n", what);
  std::abort();
}

bool InRange(int value, int min, int max) { return value >= min && value <= max; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  using kivora::SoundShape;
  const bool trimmable = (data[0] & 1) != 0;
  const std::wstring text = kivora::FromGbk(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  const SoundShape read = kivora::ParseSoundShape(text, trimmable);
  if (!InRange(read.levelDb, SoundShape::kLevelMin, SoundShape::kLevelMax) ||
      !InRange(read.fadeInMs, 0, SoundShape::kFadeMaxMs) || !InRange(read.fadeOutMs, 0, SoundShape::kFadeMaxMs) ||
      !InRange(read.startMs, 0, SoundShape::kTrimMaxMs) || !InRange(read.endMs, 0, SoundShape::kTrimMaxMs)) {
    Fail("a value read lies out of its range");
  }
  if (!trimmable && (read.startMs != 0 || read.endMs != 0)) Fail("a built-in sound was trimmed");

  const std::wstring written = kivora::FormatSoundShape(read, trimmable);
  if (written.empty() != read.IsDefault()) Fail("a line is written exactly when the sound is not at its defaults");
  if (kivora::ParseSoundShape(written, trimmable) != read) Fail("the line written does not read back the same");

  if (written.empty()) return 0;
  const std::optional<std::string> file = kivora::BytesWithSetting("", L"声音", L"按钮1", written);
  if (!file || kivora::SettingFromBytes(*file, L"声音", L"按钮1") != written) Fail("the line does not survive the file");
  return 0;
}
