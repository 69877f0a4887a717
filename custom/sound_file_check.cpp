#include "custom/sound_file_check.h"
#include "base/long_path.h"

#include <windows.h>

#include "audio/decode/clip_verdict.h"
#include "audio/decode/file_byte_source.h"

namespace kivora {

SoundFileProblem CheckSoundFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return SoundFileProblem::kMissing;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return SoundFileProblem::kFolder;
  const auto source = audio::FileByteSource::Open(path);
  if (!source) return SoundFileProblem::kUnreadable;
  std::uint8_t head[512];
  const size_t got = audio::ReadFully(*source, head);
  if (audio::RecogniseClip({head, got}) == audio::ClipKind::NoSound) return SoundFileProblem::kNoSound;
  // Anything the engine does not recognise is the system player's to try, as at a press.
  return audio::KnownDamaged(*source) ? SoundFileProblem::kDamaged : SoundFileProblem::kNone;
}

std::wstring SoundFileProblemText(SoundFileProblem problem) {
  switch (problem) {
    case SoundFileProblem::kNone: return {};
    case SoundFileProblem::kMissing: return L"文件不存在";
    case SoundFileProblem::kFolder: return L"这是一个文件夹";
    case SoundFileProblem::kUnreadable: return L"文件无法读取";
    case SoundFileProblem::kNoSound: return L"文件是空的或者是文本，不含声音";
    case SoundFileProblem::kDamaged: return L"文件已损坏，无法播放";
  }
  return {};
}

}  // namespace kivora
