// The shipped effect plug-ins as data: for each one its class identifier, friendly name,
// the settings its property page shows, and the libavfilter chain those settings make.
//
// What it is: pure data and string building, no Qt, no libav calls. The effect filters
// (video_effect_filter.h, audio_effect_filter.h) ask it for the chain text of their current
// values; the generic property page (components/Filters) builds its controls from the
// parameter rows. Every value is a double; switches are 0/1 and choices are indices.
// Any thread (the table is immutable).
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/com/guid.h"

namespace kv::effects {

enum class TParamKind { Slider, Switch, Choice };

struct TEffectParam {
  std::string Key;      // stable name ("brightness")
  std::string Caption;  // what the page shows ("Brightness")
  TParamKind Kind = TParamKind::Slider;
  double Min = 0, Max = 1, Default = 0, Step = 0.01;
  std::vector<std::string> Choices;  // Choice: the captions, value = index
  std::string Unit;                  // shown after a slider's value ("dB"), may be empty
};

struct TEffectDesc {
  CLSID Clsid;
  std::string FriendlyName;
  bool Video = true;
  std::vector<TEffectParam> Params;
  // The libavfilter chain (between the buffer source and sink) for these values; never
  // empty ("null"/"anull" when the values leave the signal unchanged).
  std::function<std::string(const std::vector<double>& values)> Chain;
  // Video: whether these values turn the picture by a quarter (width and height swap).
  std::function<bool(const std::vector<double>& values)> SwapsSize;
  // The chain keeps earlier pictures after it has given out the picture of an input (a
  // deinterlacer looks at its neighbours). Such chains keep the input samples too, so the
  // filter asks the upstream allocator for more buffers and copies pictures in only when it
  // does not get them; the others always work on the input sample's own memory.
  bool HoldsFrames = false;
};

std::span<const TEffectDesc> EffectTable();
const TEffectDesc* FindEffect(const CLSID& clsid);
const TEffectDesc* FindEffectByName(const std::string& friendlyName);

// The defaults of an effect's parameters, in row order.
std::vector<double> DefaultValues(const TEffectDesc& effect);
// Values clamped into each row's range (choices and switches rounded); missing rows get
// their default, extra values are dropped.
std::vector<double> ClampValues(const TEffectDesc& effect, std::vector<double> values);

// A number as libavfilter option text: fixed notation, no locale, trailing zeros cut.
std::string OptionNumber(double value);

}  // namespace kv::effects
