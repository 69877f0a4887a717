// The loudness record kept per slot in the settings file: written and read back,
// and anything that is not exactly such a record is refused.
#include "loudness/loudness_record.h"

#include <gtest/gtest.h>

namespace kivora {
namespace {

TEST(LoudnessRecord, RoundTrips) {
  const LoudnessRecord measured{482113, 133801234567890000ull, -19.73, 0.8123f};
  const auto back = ParseLoudnessRecord(FormatLoudnessRecord(measured));
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->SameFile(measured));
  EXPECT_NEAR(*back->lufs, -19.73, 1e-9);
  EXPECT_NEAR(back->samplePeak, 0.8123f, 1e-6);

  const LoudnessRecord silent{10, 20, std::nullopt, 0.0f};
  EXPECT_EQ(FormatLoudnessRecord(silent), L"10,20,none,0.0000");
  const auto silentBack = ParseLoudnessRecord(FormatLoudnessRecord(silent));
  ASSERT_TRUE(silentBack);
  EXPECT_FALSE(silentBack->lufs);
}

TEST(LoudnessRecord, RefusesWhatIsNotARecord) {
  for (const wchar_t* text : {L"", L"1,2,-20", L"1,2,-20,0.5,9", L"x,2,-20,0.5", L"1,2,-20dB,0.5", L"1,2,nan,0.5",
                              L"1,2,inf,0.5", L"1,2,-20,-0.5", L"-1,2,-20,0.5", L"1,2,,0.5", L"１,2,-20,0.5",
                              L"1, 2,-20,0.5", L"99999999999999999999,2,-20,0.5", L"1,2,-1e300,0.5", L"1,2,-20,1e30"}) {
    EXPECT_FALSE(ParseLoudnessRecord(text)) << text;
  }
}

}  // namespace
}  // namespace kivora
