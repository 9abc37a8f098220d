#include "filters/effects/effect_catalogue.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <string>

namespace kv::effects {
namespace {

std::string N(double v) { return OptionNumber(v); }

// Linear gain of a level in decibels.
double Linear(double db) { return std::pow(10.0, db / 20.0); }

constexpr double kBands[] = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};

std::vector<TEffectParam> EqualizerParams() {
  std::vector<TEffectParam> rows;
  for (double f : kBands) {
    std::string caption = f < 1000 ? N(f) + " Hz" : N(f / 1000) + " kHz";
    rows.push_back({"band" + N(f), caption, TParamKind::Slider, -12, 12, 0, 0.5, {}, "dB"});
  }
  return rows;
}

std::string EqualizerChain(const std::vector<double>& v) {
  bool flat = std::all_of(v.begin(), v.end(), [](double g) { return g == 0; });
  if (flat) return "anull";
  std::string entries;
  for (size_t i = 0; i < std::size(kBands) && i < v.size(); ++i) {
    if (!entries.empty()) entries += ";";
    entries += "entry(" + N(kBands[i]) + "," + N(v[i]) + ")";
  }
  return "firequalizer=delay=0.02:gain_entry='" + entries + "'";
}

const TEffectDesc kEffects[] = {
    {GuidLiteral("{200BA73F-9344-4B18-BB38-71FCD24225E4}"),
     "Kavello Deinterlace",
     true,
     {{"method", "Method", TParamKind::Choice, 0, 1, 0, 1, {"bwdif (motion adaptive)", "yadif"}, ""},
      {"frames", "Deinterlace", TParamKind::Choice, 0, 1, 0, 1, {"Interlaced frames only", "All frames"}, ""}},
     [](const std::vector<double>& v) {
       return std::string(v[0] == 1 ? "yadif" : "bwdif") + "=mode=send_frame:parity=auto:deint=" +
              (v[1] == 1 ? "all" : "interlaced");
     },
     nullptr,
     true},
    {GuidLiteral("{54051DDE-2C21-4D4D-BC2B-CB68F3CB0554}"),
     "Kavello Denoise",
     true,
     {{"strength", "Strength", TParamKind::Slider, 0, 20, 4, 0.5, {}, ""}},
     [](const std::vector<double>& v) {
       double s = v[0];
       if (s <= 0) return std::string("null");
       return "hqdn3d=luma_spatial=" + N(s) + ":chroma_spatial=" + N(s * 0.75) + ":luma_tmp=" + N(s * 1.5) +
              ":chroma_tmp=" + N(s * 1.125);
     },
     nullptr},
    {GuidLiteral("{25A4976D-32CC-46DD-A559-DF224D92BA90}"),
     "Kavello Sharpen",
     true,
     {{"amount", "Amount", TParamKind::Slider, -1.5, 3, 0.8, 0.05, {}, ""}},
     [](const std::vector<double>& v) {
       if (v[0] == 0) return std::string("null");
       return "unsharp=luma_msize_x=5:luma_msize_y=5:luma_amount=" + N(v[0]) + ":chroma_amount=0";
     },
     nullptr},
    {GuidLiteral("{67E14D90-36AB-443A-93E0-F8526FC6CCF2}"),
     "Kavello Picture",
     true,
     {{"brightness", "Brightness", TParamKind::Slider, -1, 1, 0, 0.01, {}, ""},
      {"contrast", "Contrast", TParamKind::Slider, 0, 2, 1, 0.01, {}, ""},
      {"saturation", "Saturation", TParamKind::Slider, 0, 3, 1, 0.01, {}, ""},
      {"gamma", "Gamma", TParamKind::Slider, 0.1, 4, 1, 0.01, {}, ""},
      {"grayscale", "Grayscale", TParamKind::Switch, 0, 1, 0, 1, {}, ""}},
     [](const std::vector<double>& v) {
       double saturation = v[4] != 0 ? 0 : v[2];
       // eq at these values copies the picture unchanged: leave it out (same picture, less work).
       if (v[0] == 0 && v[1] == 1 && saturation == 1 && v[3] == 1) return std::string("null");
       return "eq=brightness=" + N(v[0]) + ":contrast=" + N(v[1]) + ":saturation=" + N(saturation) +
              ":gamma=" + N(v[3]);
     },
     nullptr},
    {GuidLiteral("{3EEE9F3B-695E-4892-A133-7E01F04826AB}"),
     "Kavello Rotate",
     true,
     {{"angle", "Rotation", TParamKind::Choice, 0, 3, 1, 1,
       {"None", "90\xC2\xB0 clockwise", "180\xC2\xB0", "90\xC2\xB0 counter-clockwise"}, ""}},
     [](const std::vector<double>& v) {
       switch (static_cast<int>(v[0])) {
         case 1: return std::string("transpose=dir=clock");
         case 2: return std::string("hflip,vflip");
         case 3: return std::string("transpose=dir=cclock");
         default: return std::string("null");
       }
     },
     [](const std::vector<double>& v) { return v[0] == 1 || v[0] == 3; }},
    {GuidLiteral("{CAA5D4E7-5B66-49BE-83C7-B1CA1D7A622A}"),
     "Kavello Volume",
     false,
     {{"gain", "Gain", TParamKind::Slider, -20, 20, 0, 0.5, {}, "dB"},
      {"ceiling", "Limiter ceiling", TParamKind::Slider, -12, 0, -1, 0.5, {}, "dB"}},
     [](const std::vector<double>& v) {
       return "volume=volume=" + N(v[0]) + "dB:precision=float,alimiter=limit=" + N(Linear(v[1])) +
              ":level=0:attack=5:release=50";
     },
     nullptr},
    {GuidLiteral("{1C95ECBD-0AE3-4F8F-A09E-E436D88DC8B8}"), "Kavello Equalizer", false, EqualizerParams(),
     EqualizerChain, nullptr},
    {GuidLiteral("{89B33E65-4346-446F-96CE-B8C1412A62F0}"),
     "Kavello Night Mode",
     false,
     {{"threshold", "Threshold", TParamKind::Slider, -40, 0, -24, 1, {}, "dB"},
      {"ratio", "Ratio", TParamKind::Slider, 1, 20, 4, 0.5, {}, ":1"},
      {"makeup", "Make-up gain", TParamKind::Slider, 0, 24, 8, 0.5, {}, "dB"}},
     [](const std::vector<double>& v) {
       return "acompressor=threshold=" + N(std::max(Linear(v[0]), 0.000976563)) + ":ratio=" + N(v[1]) +
              ":attack=5:release=200:makeup=" + N(Linear(v[2]));
     },
     nullptr},
};

}  // namespace

std::span<const TEffectDesc> EffectTable() { return kEffects; }

const TEffectDesc* FindEffect(const CLSID& clsid) {
  for (const TEffectDesc& e : kEffects)
    if (e.Clsid == clsid) return &e;
  return nullptr;
}

const TEffectDesc* FindEffectByName(const std::string& friendlyName) {
  for (const TEffectDesc& e : kEffects)
    if (e.FriendlyName == friendlyName) return &e;
  return nullptr;
}

std::vector<double> DefaultValues(const TEffectDesc& effect) {
  std::vector<double> values;
  for (const TEffectParam& p : effect.Params) values.push_back(p.Default);
  return values;
}

std::vector<double> ClampValues(const TEffectDesc& effect, std::vector<double> values) {
  const size_t given = values.size();
  values.resize(effect.Params.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const TEffectParam& p = effect.Params[i];
    if (i >= given || !std::isfinite(values[i])) values[i] = p.Default;
    values[i] = std::clamp(values[i], p.Min, p.Max);
    if (p.Kind != TParamKind::Slider) values[i] = std::round(values[i]);
  }
  return values;
}

std::string OptionNumber(double value) {
  if (!std::isfinite(value)) value = 0;
  // to_chars ignores the process locale (a Qt program runs with the user's).
  char text[64];
  auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6).ptr;
  std::string s(text, end);
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

}  // namespace kv::effects
