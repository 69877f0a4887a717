// The loudness record kept per slot in the settings file: written and read back;
// anything that is not exactly such a record is refused, and so is a well-formed
// record whose values no measurement gives (each of these would be trusted to set
// a gain: a peak of 0 took the ceiling away, two changed digits gave +30 dB).
#include "loudness/loudness_record.h"

#include <gtest/gtest.h>

namespace kivora {
namespace {

TEST(LoudnessRecord, RoundTrips) {
  const LoudnessRecord measured{482113, 133801234567890000ull, -19.73, 0.8123f};
  EXPECT_EQ(FormatLoudnessRecord(measured), L"482113,133801234567890000,-19.73,0.812301,tp");
  const auto back = ParseLoudnessRecord(FormatLoudnessRecord(measured));
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->SameFile(measured));
  EXPECT_NEAR(*back->lufs, -19.73, 1e-9);
  EXPECT_NEAR(back->truePeak, 0.8123f, 1e-6);

  const LoudnessRecord silent{10, 20, std::nullopt, 0.0f};
  EXPECT_EQ(FormatLoudnessRecord(silent), L"10,20,none,0.000000,tp");
  const auto silentBack = ParseLoudnessRecord(FormatLoudnessRecord(silent));
  ASSERT_TRUE(silentBack);
  EXPECT_FALSE(silentBack->lufs);

  // The quietest clip the meter gives a loudness still reads back whole.
  const LoudnessRecord faint{1, 2, -69.99, 0.000142f};
  EXPECT_TRUE(ParseLoudnessRecord(FormatLoudnessRecord(faint)));
}

TEST(LoudnessRecord, RefusesWhatIsNotARecord) {
  for (const wchar_t* text :
       {L"", L"1,2,-20,0.5", L"1,2,-20,0.5,tp,9", L"1,2,-20,0.5,sp", L"x,2,-20,0.5,tp", L"1,2,-20dB,0.5,tp",
        L"1,2,nan,0.5,tp", L"1,2,inf,0.5,tp", L"1,2,-20,-0.5,tp", L"-1,2,-20,0.5,tp", L"1,2,,0.5,tp",
        L"１,2,-20,0.5,tp", L"1, 2,-20,0.5,tp", L"99999999999999999999,2,-20,0.5,tp", L"1,2,-1e300,0.5,tp",
        L"1,2,-20,1e30,tp", L"1,2,-20,nan,tp"}) {
    EXPECT_FALSE(ParseLoudnessRecord(text)) << text;
  }
}

TEST(LoudnessRecord, RefusesValuesThatDoNotFitTogether) {
  const struct {
    const wchar_t* text;
    bool accepted;
  } cases[] = {
      {L"1,2,-70.00,0.001,tp", true},      // on the absolute gate
      {L"1,2,-70.01,0.001,tp", false},     // under it: the meter gates such blocks away
      {L"1,2,0.00,1.0,tp", true},          // full scale
      {L"1,2,0.01,1.0,tp", false},         // louder than full scale
      {L"1,2,-40.00,0.000000,tp", false},  // a loudness, but no peak: no ceiling at all
      {L"1,2,none,0.000000,tp", true},     // silence
      {L"1,2,-20.00,0.045,tp", true},      // peak -26.9 dBTP: just under 7 dB below the loudness, the most there can be
      {L"1,2,-20.00,0.04,tp", false},      // peak -28 dBTP under -20 LUFS
      {L"1,2,-14.60,0.01,tp", false},      // a -40 dBFS clip's record with its loudness changed by two digits
  };
  for (const auto& c : cases) EXPECT_EQ(ParseLoudnessRecord(c.text).has_value(), c.accepted) << c.text;
}

}  // namespace
}  // namespace kivora
