#include "assets/catalogue.h"

namespace {

struct BodyRange {
  const unsigned char* begin;
  const unsigned char* end;
};

}  // namespace

// Laid out by sounds.S: one (start, end) pair per catalogue entry, in number order.
extern "C" const BodyRange kivora_sound_bodies[kivora::kCatalogueSize];

namespace kivora {

std::span<const unsigned char> BodyOf(const CatalogueEntry& entry) {
  const BodyRange& range = kivora_sound_bodies[entry.number - 1];
  return {range.begin, static_cast<size_t>(range.end - range.begin)};
}

}  // namespace kivora
