#include "audio/engine/converter_tables.h"

#include <algorithm>

namespace kivora::audio {
namespace {

// Rates kept on each side: far more than one machine's devices and clips use.
// Past it, the oldest rate seen goes (its tables with it).
constexpr size_t kRatesKept = 8;

void Note(std::vector<unsigned>& rates, unsigned rate) {
  std::erase(rates, rate);
  rates.push_back(rate);
  if (rates.size() > kRatesKept) rates.erase(rates.begin());
}

}  // namespace

void ConverterTables::ForClipRate(unsigned clipRate) {
  std::vector<std::pair<unsigned, unsigned>> pairs;
  {
    std::lock_guard lock(mutex_);
    if (std::ranges::find(clipRates_, clipRate) != clipRates_.end()) return;
    Note(clipRates_, clipRate);
    for (unsigned output : outputRates_) pairs.emplace_back(clipRate, output);
  }
  Make(std::move(pairs));
}

void ConverterTables::ForOutputRate(unsigned outputRate) {
  std::vector<std::pair<unsigned, unsigned>> pairs;
  {
    std::lock_guard lock(mutex_);
    if (std::ranges::find(outputRates_, outputRate) != outputRates_.end()) return;
    Note(outputRates_, outputRate);
    for (unsigned clip : clipRates_) pairs.emplace_back(clip, outputRate);
  }
  Make(std::move(pairs));
}

void ConverterTables::Make(std::vector<std::pair<unsigned, unsigned>> pairs) {
  std::vector<std::pair<std::pair<unsigned, unsigned>, std::shared_ptr<const ConversionFilter>>> made;
  for (const auto& pair : pairs) made.emplace_back(pair, Resampler::SharedTable(pair.first, pair.second));
  std::lock_guard lock(mutex_);
  for (auto& [pair, table] : made) {
    if (table) keepers_[pair] = std::move(table);
  }
  std::erase_if(keepers_, [this](const auto& entry) {
    return std::ranges::find(clipRates_, entry.first.first) == clipRates_.end() ||
           std::ranges::find(outputRates_, entry.first.second) == outputRates_.end();
  });
}

}  // namespace kivora::audio
