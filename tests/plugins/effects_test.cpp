// The shipped effects on real pictures and sound, each through a harness graph, created by
// friendly name from the module in Components/Filters as the player creates them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "effect_harness.h"
#include "filters/effects/effect_settings.h"
#include "filters/video/picture_formats.h"
#include "platform/registry/registry.h"

namespace kv::test {
namespace {

using effects::IKavelloEffect;

std::vector<uint8_t> I420Frame(int w, int h, uint8_t y, uint8_t u, uint8_t v) {
  std::vector<uint8_t> f(size_t(w) * h * 3 / 2);
  std::fill(f.begin(), f.begin() + w * h, y);
  std::fill(f.begin() + w * h, f.begin() + w * h * 5 / 4, u);
  std::fill(f.begin() + w * h * 5 / 4, f.end(), v);
  return f;
}

// Interleaved float blocks of a sine.
std::vector<std::vector<uint8_t>> Sine(double frequency, double amplitude, int rate, int channels, int blocks,
                                       int blockSamples) {
  std::vector<std::vector<uint8_t>> out;
  int64_t n = 0;
  for (int b = 0; b < blocks; ++b) {
    std::vector<float> s(size_t(blockSamples) * channels);
    for (int i = 0; i < blockSamples; ++i, ++n)
      for (int c = 0; c < channels; ++c)
        s[size_t(i) * channels + c] = float(amplitude * std::sin(2 * M_PI * frequency * double(n) / rate));
    std::vector<uint8_t> bytes(s.size() * sizeof(float));
    std::memcpy(bytes.data(), s.data(), bytes.size());
    out.push_back(std::move(bytes));
  }
  return out;
}

std::vector<float> Floats(const std::vector<TCaptured>& captured) {
  std::vector<float> all;
  for (const auto& c : captured) {
    size_t n = c.data.size() / sizeof(float);
    size_t at = all.size();
    all.resize(at + n);
    std::memcpy(all.data() + at, c.data.data(), n * sizeof(float));
  }
  return all;
}

double Rms(const std::vector<float>& s, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
  return std::sqrt(sum / double(to - from));
}

double Mean(const std::vector<uint8_t>& d, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += d[i];
  return sum / double(to - from);
}

class EffectsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(LoadShippedEffects()) << "Components/Filters/KavelloEffects.so not loaded"; }

  // Creates the effect and sets its values (in catalogue order).
  ComPtr<IBaseFilter> Effect(const std::string& name, const std::vector<double>& values) {
    ComPtr<IBaseFilter> f = CreateByName(name);
    EXPECT_TRUE(f) << name;
    if (!f) return f;
    ComPtr<IKavelloEffect> settings;
    EXPECT_TRUE(SUCCEEDED(f->QueryInterface(IKavelloEffect::kIid, settings.PutVoid())));
    if (settings) settings->SetValues(values);
    return f;
  }
};

TEST_F(EffectsTest, Picture_brightnessRaisesMeanLuma_grayscaleMakesChromaFlat) {
  const int w = 64, h = 48;
  std::vector<std::vector<uint8_t>> frames(10, I420Frame(w, h, 100, 200, 60));
  {
    THarness harness;
    std::string error;
    // brightness, contrast, saturation, gamma, grayscale
    ASSERT_TRUE(harness.Run(Effect("Kavello Picture", {0.25, 1, 1, 1, 0}).Get(), I420Type(w, h), frames, 400000,
                            &error))
        << error;
    auto out = harness.Output();
    ASSERT_EQ(out.size(), frames.size());
    for (size_t i = 0; i < out.size(); ++i) {
      EXPECT_EQ(out[i].start, REFERENCE_TIME(i) * 400000);
      EXPECT_GT(Mean(out[i].data, 0, w * h), 140.0) << "frame " << i;
      EXPECT_GT(Mean(out[i].data, w * h, w * h * 5 / 4), 180.0) << "chroma kept without grayscale";
    }
  }
  {
    THarness harness;
    std::string error;
    ASSERT_TRUE(harness.Run(Effect("Kavello Picture", {0, 1, 1, 1, 1}).Get(), I420Type(w, h), frames, 400000,
                            &error))
        << error;
    auto out = harness.Output();
    ASSERT_EQ(out.size(), frames.size());
    for (const auto& f : out) {
      EXPECT_NEAR(Mean(f.data, 0, w * h), 100.0, 2.0);
      for (size_t i = w * h; i < f.data.size(); ++i) ASSERT_NEAR(f.data[i], 128, 1) << "chroma byte " << i;
    }
  }
}

TEST_F(EffectsTest, Picture_atNeutralValues_passesThePictureUnchanged) {
  const int w = 64, h = 48;
  std::vector<std::vector<uint8_t>> frames(3, I420Frame(w, h, 37, 201, 90));
  THarness harness;
  std::string error;
  ASSERT_TRUE(harness.Run(Effect("Kavello Picture", {0, 1, 1, 1, 0}).Get(), I420Type(w, h), frames, 400000, &error))
      << error;
  auto out = harness.Output();
  ASSERT_EQ(out.size(), frames.size());
  for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i].data, frames[i]) << "frame " << i;
}

// What a damaged or hand-edited hive holds for an effect gives the defaults or the nearest
// allowed values, never a refused chain or a crash; the effect still works.
TEST_F(EffectsTest, StoredSettings_damagedValuesGiveDefaults_outOfRangeOnesAreClamped) {
  {
    registry::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("Software\\Tessaland\\Kavello\\Effects\\Kavello Picture", true));
    reg.WriteString("brightness", "very bright");
    reg.WriteFloat("contrast", 99);
    reg.WriteFloat("saturation", std::nan(""));
    reg.WriteFloat("gamma", 2.5);
  }
  ComPtr<IBaseFilter> f = CreateByName("Kavello Picture");
  ComPtr<IKavelloEffect> settings;
  ASSERT_TRUE(f && SUCCEEDED(f->QueryInterface(IKavelloEffect::kIid, settings.PutVoid())));
  std::vector<double> values;
  settings->GetValues(&values);
  EXPECT_EQ(values, (std::vector<double>{0, 2, 1, 2.5, 0}));
  // Saved values are what the next instance starts from.
  settings->SetValues({0.5, 1, 1, 1, 1});
  ASSERT_EQ(settings->SaveValues(), S_OK);
  ComPtr<IKavelloEffect> next;
  ASSERT_TRUE(SUCCEEDED(CreateByName("Kavello Picture")->QueryInterface(IKavelloEffect::kIid, next.PutVoid())));
  next->GetValues(&values);
  EXPECT_EQ(values, (std::vector<double>{0.5, 1, 1, 1, 1}));
  registry::TRegistry reg;
  reg.DeleteKey("Software\\Tessaland\\Kavello\\Effects");  // the other tests start from the defaults
  const int w = 16, h = 16;
  THarness harness;
  std::string error;
  EXPECT_TRUE(harness.Run(f.Get(), I420Type(w, h), {I420Frame(w, h, 100, 128, 128)}, 400000, &error)) << error;
}

TEST_F(EffectsTest, Rotate_quarterTurnSwapsWidthAndHeight_halfTurnKeepsThem) {
  const int w = 64, h = 32;
  auto frame = I420Frame(w, h, 16, 128, 128);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) frame[size_t(y) * w + x] = 235;  // a white corner, top left
  std::vector<std::vector<uint8_t>> frames(4, frame);
  {
    THarness harness;
    std::string error;
    ASSERT_TRUE(harness.Run(Effect("Kavello Rotate", {1}).Get(), I420Type(w, h), frames, 400000, &error)) << error;
    auto g = video::ReadPictureType(harness.OutputType());
    ASSERT_TRUE(g);
    EXPECT_EQ(g->width, h);
    EXPECT_EQ(g->height, w);
    auto out = harness.Output();
    ASSERT_EQ(out.size(), frames.size());
    ASSERT_EQ(out[0].data.size(), size_t(w) * h * 3 / 2);
    // Clockwise: the top left corner goes to the top right.
    EXPECT_GT(out[0].data[size_t(2) * g->stride + (g->width - 3)], 200);
    EXPECT_LT(out[0].data[size_t(2) * g->stride + 2], 40);
  }
  {
    THarness harness;
    std::string error;
    ASSERT_TRUE(harness.Run(Effect("Kavello Rotate", {2}).Get(), I420Type(w, h), frames, 400000, &error)) << error;
    auto g = video::ReadPictureType(harness.OutputType());
    ASSERT_TRUE(g);
    EXPECT_EQ(g->width, w);
    EXPECT_EQ(g->height, h);
    auto out = harness.Output();
    ASSERT_FALSE(out.empty());
    EXPECT_GT(out[0].data[size_t(h - 3) * w + (w - 3)], 200) << "half turn: bottom right";
  }
}

TEST_F(EffectsTest, Volume_limiterKeepsPeaksUnderItsCeiling_whileGainRaisesTheLevel) {
  const int rate = 48000;
  auto blocks = Sine(440, 0.5, rate, 2, 20, 2400);  // 1 s
  THarness harness;
  std::string error;
  // +12 dB on a -6 dBFS sine would peak at +6 dBFS; the ceiling is -3 dBFS.
  ASSERT_TRUE(harness.Run(Effect("Kavello Volume", {12, -3}).Get(), PcmType(rate, 2, true), blocks, 500000, &error))
      << error;
  auto s = Floats(harness.Output());
  ASSERT_GT(s.size(), size_t(rate));  // most of the second arrived
  const double ceiling = std::pow(10.0, -3.0 / 20.0);
  float peak = 0;
  for (size_t i = rate / 10 * 2; i < s.size(); ++i) peak = std::max(peak, std::fabs(s[i]));
  EXPECT_LE(peak, ceiling * 1.01);
  EXPECT_GT(peak, ceiling * 0.9) << "the gain should drive the sine into the limiter";
}

TEST_F(EffectsTest, Equalizer_bandGainChangesASineAtThatBandByTheSetDecibels) {
  const int rate = 48000;
  auto blocks = Sine(1000, 0.25, rate, 1, 30, 1600);  // 1 s mono
  const double input = 0.25 / std::sqrt(2.0);
  for (double gain : {6.0, -6.0}) {
    std::vector<double> bands(10, 0.0);
    bands[5] = gain;  // 1 kHz
    THarness harness;
    std::string error;
    ASSERT_TRUE(harness.Run(Effect("Kavello Equalizer", bands).Get(), PcmType(rate, 1, true), blocks, 333333, &error))
        << error;
    auto s = Floats(harness.Output());
    ASSERT_GT(s.size(), size_t(rate * 8 / 10));
    const double db = 20 * std::log10(Rms(s, rate / 5, s.size() - rate / 10) / input);
    EXPECT_NEAR(db, gain, 1.0);
  }
}

TEST_F(EffectsTest, OtherEffects_passEveryFrameOrSampleWithTheirTimes) {
  const int w = 64, h = 48;
  std::vector<std::vector<uint8_t>> frames;
  for (int i = 0; i < 8; ++i) frames.push_back(I420Frame(w, h, uint8_t(60 + 10 * i), 128, 128));
  for (const char* name : {"Kavello Deinterlace", "Kavello Denoise", "Kavello Sharpen"}) {
    THarness harness;
    std::string error;
    ASSERT_TRUE(harness.Run(CreateByName(name).Get(), I420Type(w, h), frames, 400000, &error)) << name << ": " << error;
    auto out = harness.Output();
    ASSERT_EQ(out.size(), frames.size()) << name << ": a frame held back must come out at the end";
    for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i].start, REFERENCE_TIME(i) * 400000) << name;
  }
  const int rate = 44100;
  auto blocks = Sine(300, 0.1, rate, 2, 10, 4410);
  THarness harness;
  std::string error;
  ASSERT_TRUE(harness.Run(CreateByName("Kavello Night Mode").Get(), PcmType(rate, 2, true), blocks, 1000000, &error))
      << error;
  auto s = Floats(harness.Output());
  EXPECT_NEAR(double(s.size()), 2.0 * rate, rate * 0.05);
  EXPECT_GT(Rms(s, rate / 2, s.size()), 0.1 / std::sqrt(2.0)) << "quiet sound comes out louder";
}

}  // namespace
}  // namespace kv::test
