// The rate converters' tables that the outputs will need, made ahead and kept:
// building one takes 1 to 14 ms, which a device thread must never spend. Tables
// are made for every pair of a clip rate seen and an output rate seen: at prepare
// (the clip's rate), by an output's opening thread when a stream opens (its rate),
// and by the feeder when a clip changes format part-way.
// Threads: any; the lock is never held while a table is built.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "audio/dsp/resampler.h"

namespace kivora::audio {

class ConverterTables {
 public:
  void ForClipRate(unsigned clipRate);
  void ForOutputRate(unsigned outputRate);

 private:
  // Makes the tables of the pairs not yet kept, outside the lock, then keeps them.
  void Make(std::vector<std::pair<unsigned, unsigned>> pairs);

  std::mutex mutex_;  // guards the three below
  std::vector<unsigned> clipRates_, outputRates_;
  // The table of each pair of rates, held alive for the converters to come.
  std::map<std::pair<unsigned, unsigned>, std::shared_ptr<const ConversionFilter>> keepers_;
};

}  // namespace kivora::audio
