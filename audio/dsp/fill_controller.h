// Holds the fill of the ring between two clocks at its target: a PI controller
// on the fill's error, smoothed first, whose output is the small correction of
// the converter's rate (0.0005 reads 500 ppm faster). Pure code, no device.
//
// Owned by the thread that reads the ring.
#pragma once

namespace kivora::audio {

class FillController {
 public:
  struct Tuning {
    // Natural frequency and damping of the closed loop: a loop a few seconds
    // slow follows drift of any size in its range, and passes no jitter on as pitch.
    double naturalHz = 0.05;
    double damping = 0.8;
    // Corner of the smoothing of the measured error.
    double smoothingHz = 1.0;
    // The correction never goes past this, whatever the error (0.5 %: 8.6 cents).
    double limit = 0.005;
  };

  FillController() : FillController(Tuning{}) {}
  explicit FillController(const Tuning& tuning);

  // Takes the fill's error (seconds above the target) measured after `elapsed`
  // seconds of output, and returns the correction to read the next block with.
  double Update(double errorSeconds, double elapsedSeconds);
  // Forgets the past: the next error starts the loop again.
  void Reset();
  // The fill was set back to its target at once: forgets the error measured
  // before, keeps the rate difference learnt.
  void Realigned() { smoothed_ = 0; }

  double Correction() const { return correction_; }
  double SmoothedError() const { return smoothed_; }

 private:
  Tuning tuning_;
  double proportional_;
  double integral_gain_;
  double integral_ = 0;
  double smoothed_ = 0;
  double correction_ = 0;
  bool started_ = false;
};

}  // namespace kivora::audio
