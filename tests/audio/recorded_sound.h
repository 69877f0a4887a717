// Listening to what the sound device played. Under the test session ALSA's
// default device writes 48 kHz 16-bit stereo PCM to a file ($KIVORA_AUDIO_OUT);
// Wine keeps the stream running and fills the gaps between the player's
// buffers with zeros, and it truncates the file whenever a new sound opens the
// device afresh.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivora::audio {

// The two test clips are steady sine tones at these pitches.
inline constexpr double kLowTone = 440.0;
inline constexpr double kHighTone = 1760.0;

enum class Tone { Silence, Low, High, Other };

// One 10 ms block of the left channel.
struct Block {
  double rms;
  Tone tone;
};

// Splits samples into 10 ms blocks and tells which tone, if any, each one holds.
std::vector<Block> Blocks(const std::vector<int16_t>& samples);

size_t CountBlocks(const std::vector<Block>& blocks, Tone tone);

// The median level of the blocks holding tone (0 when there are none).
double MedianLevel(const std::vector<Block>& blocks, Tone tone);

// Follows the device's output file from a mark onwards.
class SoundTap {
 public:
  // path: the file as Windows names it.
  explicit SoundTap(std::wstring path);

  // From now on only what the device writes later counts.
  void Mark();

  // Picks up what was written since the last poll. A file that became shorter
  // was started afresh by the device, so all of it is new.
  void Poll();

  // Left-channel samples written since the mark, and all the bytes.
  const std::vector<int16_t>& Left() const { return left_; }
  uint64_t BytesSinceMark() const { return bytesSinceMark_; }
  std::vector<Block> BlocksSinceMark() const { return Blocks(left_); }

 private:
  uint64_t FileSize() const;

  std::wstring path_;
  uint64_t readOffset_ = 0;
  uint64_t bytesSinceMark_ = 0;
  std::string partialFrame_;
  std::vector<int16_t> left_;
};

// The left channel of 16-bit little-endian stereo PCM bytes (a raw reference decode).
std::vector<int16_t> LeftChannelOf(const std::string& stereo16);

// The Windows name of the file the sound device writes, or empty when the test
// does not run inside a session that records sound.
std::wstring RecordedSoundPath();

// A test clip from tests/audio/fixtures, as a Windows path.
std::wstring FixturePath(const std::wstring& name);

}  // namespace kivora::audio
