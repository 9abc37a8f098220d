// Stand-in filters for the engine tests: registered in the class registry under the class
// identifiers the test descriptors name, with pins, media types and refusals set per test.
//
// A stand-in has `inputs` input pins (accepting what `accept` allows) and output pins that
// offer fixed types, or the type connected on input 0 with the subtype replaced (a
// "decoder"). It can be a file source (IFileSourceFilter) whose Load fails on request.
// No samples flow through stand-ins; they exist to build graphs. Test thread only.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/com/class_registry.h"
#include "platform/graph/base_filter.h"

namespace kv::test {

struct TOutSpec {
  // An output pin offering `type` as it is.
  TOutSpec(std::string n, MediaType t) : name(std::move(n)), type(std::move(t)) {}
  // An output pin offering input 0's type with `sub` (GUID_NULL: input 0's own subtype).
  static TOutSpec FromInput(std::string n, const GUID& sub) {
    TOutSpec spec(std::move(n), MediaType());
    spec.fromInput = true;
    spec.subtype = sub;
    return spec;
  }
  std::string name;
  MediaType type;
  bool fromInput = false;
  GUID subtype;
};

struct TStandInSpec {
  std::vector<std::string> inputs;   // input pin names
  std::vector<TOutSpec> outputs;
  // Which types the input pins accept; empty: every type.
  std::function<bool(const MediaType&)> accept;
  bool fileSource = false;
  HRESULT loadResult = S_OK;
  bool propertyPages = false;
  bool basicAudio = false;  // offers IBasicAudio (a sound renderer)
  bool basicVideo = false;  // offers IBasicVideo (a picture renderer); see SourceRect()
};

// Registers (or re-registers) a stand-in class. Its TStandInSpec is read when an instance is made,
// so tests change it with Spec() before building a graph.
void RegisterStandIn(const CLSID& clsid, const std::string& friendlyName, TStandInSpec spec);
TStandInSpec& Spec(const CLSID& clsid);
// Makes creating the class fail (REGDB_E_CLASSNOTREG) without forgetting its spec.
void Unregister(const CLSID& clsid);
// Number of live instances of a stand-in class.
int LiveInstances(const CLSID& clsid);
// The last source rectangle set through a stand-in's IBasicVideo (left, top, width, height).
struct TRect4 {
  int32_t left = 0, top = 0, width = 0, height = 0;
};
TRect4 LastSourceRect();
// How many times a source rectangle was set through a stand-in (all instances).
int SourceRectCalls();
// Last file name a stand-in source loaded.
std::string LastLoaded(const CLSID& clsid);

// Audio renderer devices listed under the audio renderer category (names in order); each
// creates a stand-in renderer of class CLSID_TestAudioDevice.
void SetAudioDevices(std::vector<std::string> names);
inline constexpr CLSID CLSID_TestAudioDevice = GuidLiteral("{A0000000-0000-0000-0000-0000000000AD}");

// Lists (or stops listing) the device "Microsoft DV Camera and VCR" in the video input
// category; it creates a stand-in of class CLSID_TestDVDevice.
void SetDVDevice(bool present);
inline constexpr CLSID CLSID_TestDVDevice = GuidLiteral("{A0000000-0000-0000-0000-0000000000DE}");

MediaType VideoType(const GUID& subtype, int width = 320, int height = 240, int64_t perFrame = 400000);
MediaType AudioType(const GUID& subtype, int rate = 44100, int channels = 2, int bits = 16);

}  // namespace kv::test
