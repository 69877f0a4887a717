#include "png_builder.h"

#include <zlib.h>

#include <array>
#include <stdexcept>

namespace kivora::test {
namespace {

int ChannelCount(uint8_t colourType) {
  switch (colourType) {
    case kGrey: return 1;
    case kRgb: return 3;
    case kPalette: return 1;
    case kGreyAlpha: return 2;
    case kRgba: return 4;
  }
  throw std::invalid_argument("unknown PNG colour type");
}

void PutBigEndian32(Bytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(value >> shift));
}

void AppendChunk(Bytes& out, std::string_view type, std::span<const unsigned char> data) {
  PutBigEndian32(out, static_cast<uint32_t>(data.size()));
  const size_t typeOffset = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  PutBigEndian32(out, crc32(0, out.data() + typeOffset, static_cast<uInt>(4 + data.size())));
}

// Packs samples into bytes: big-endian for 16 bits, high bits first below 8.
class ScanlineWriter {
 public:
  ScanlineWriter(Bytes& out, int bitDepth) : out_(out), bitDepth_(bitDepth) {}

  void Sample(uint16_t value) {
    if (bitDepth_ == 16) {
      out_.push_back(static_cast<unsigned char>(value >> 8));
      out_.push_back(static_cast<unsigned char>(value));
    } else if (bitDepth_ == 8) {
      out_.push_back(static_cast<unsigned char>(value));
    } else {
      pending_ = static_cast<unsigned char>(pending_ | (value << (8 - bitDepth_ - pendingBits_)));
      pendingBits_ += bitDepth_;
      if (pendingBits_ == 8) EndRow();
    }
  }

  void EndRow() {
    if (pendingBits_ > 0) out_.push_back(pending_);
    pending_ = 0;
    pendingBits_ = 0;
  }

 private:
  Bytes& out_;
  int bitDepth_;
  unsigned char pending_ = 0;
  int pendingBits_ = 0;
};

struct Pass {
  uint32_t x0, y0, dx, dy;
};

// Adam7's seven passes, or one pass over every pixel.
std::vector<Pass> PassesFor(bool interlaced) {
  if (!interlaced) return {{0, 0, 1, 1}};
  return {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
}

Bytes Scanlines(const PngImage& image) {
  const int channels = ChannelCount(image.colourType);
  if (image.samples.size() != size_t{image.width} * image.height * channels) {
    throw std::invalid_argument("sample count does not match the image size");
  }
  Bytes raw;
  ScanlineWriter writer(raw, image.bitDepth);
  for (const Pass& pass : PassesFor(image.interlaced)) {
    if (pass.x0 >= image.width || pass.y0 >= image.height) continue;
    for (uint32_t y = pass.y0; y < image.height; y += pass.dy) {
      raw.push_back(0);  // filter type None
      for (uint32_t x = pass.x0; x < image.width; x += pass.dx) {
        const size_t first = (size_t{y} * image.width + x) * channels;
        for (int c = 0; c < channels; ++c) writer.Sample(image.samples[first + c]);
      }
      writer.EndRow();
    }
  }
  return raw;
}

Bytes Compress(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) {
    throw std::runtime_error("zlib compress2 failed");
  }
  out.resize(size);
  return out;
}

uint32_t ReadBigEndian32(std::span<const unsigned char> bytes, size_t offset) {
  return uint32_t{bytes[offset]} << 24 | uint32_t{bytes[offset + 1]} << 16 | uint32_t{bytes[offset + 2]} << 8 |
         bytes[offset + 3];
}

void WriteBigEndian32(Bytes& bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(value >> (24 - 8 * i));
}

}  // namespace

Bytes BuildPng(const PngImage& image) {
  static constexpr std::array<unsigned char, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes png(kSignature.begin(), kSignature.end());

  Bytes header;
  PutBigEndian32(header, image.width);
  PutBigEndian32(header, image.height);
  header.insert(header.end(), {image.bitDepth, image.colourType, 0, 0, static_cast<unsigned char>(image.interlaced)});
  AppendChunk(png, "IHDR", header);
  if (!image.palette.empty()) AppendChunk(png, "PLTE", image.palette);
  if (!image.transparency.empty()) AppendChunk(png, "tRNS", image.transparency);
  AppendChunk(png, "IDAT", Compress(Scanlines(image)));
  AppendChunk(png, "IEND", {});
  return png;
}

size_t FindChunk(std::span<const unsigned char> png, std::string_view type) {
  size_t offset = 8;
  while (offset + 8 <= png.size()) {
    if (std::string_view(reinterpret_cast<const char*>(png.data()) + offset + 4, 4) == type) return offset;
    offset += 12 + size_t{ReadBigEndian32(png, offset)};
  }
  return npos;
}

void FixChunkCrc(Bytes& png, size_t chunkOffset) {
  const uint32_t length = ReadBigEndian32(png, chunkOffset);
  const uLong crc = crc32(0, png.data() + chunkOffset + 4, 4 + length);
  WriteBigEndian32(png, chunkOffset + 8 + length, static_cast<uint32_t>(crc));
}

void SetDeclaredSize(Bytes& png, uint32_t width, uint32_t height) {
  const size_t ihdr = FindChunk(png, "IHDR");
  if (ihdr == npos) throw std::invalid_argument("no IHDR chunk");
  WriteBigEndian32(png, ihdr + 8, width);
  WriteBigEndian32(png, ihdr + 12, height);
  FixChunkCrc(png, ihdr);
}

}  // namespace kivora::test
