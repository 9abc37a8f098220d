// kavello-probe's report and registrations.
#include "probe_report.h"

#include <cstdio>
#include <filesystem>

#include "app/mediainfo.h"
#include "engine/contrl.h"

namespace kv::probe {

namespace {

std::string Join(const std::vector<std::string>& list) {
  std::string out;
  for (const auto& s : list) {
    if (!out.empty()) out += ", ";
    out += "\"" + s + "\"";
  }
  return out;
}

std::string PinText(IPin* pin) {
  PIN_INFO info;
  if (FAILED(pin->QueryPinInfo(&info))) return "?";
  std::string owner;
  FILTER_INFO f;
  if (info.pFilter && SUCCEEDED(info.pFilter->QueryFilterInfo(&f))) owner = f.achName;
  return "\"" + owner + "\".\"" + info.achName + "\"";
}

std::string FilterBlock(IBaseFilter* filter) {
  FILTER_INFO info;
  filter->QueryFilterInfo(&info);
  std::string out = "Filter \"" + info.achName + "\"\n";
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return out;
  for (;;) {
    ComPtr<IPin> pin;
    if (pins->Next(1, pin.Put(), nullptr) != S_OK) break;
    PIN_INFO p;
    if (FAILED(pin->QueryPinInfo(&p))) continue;
    const bool input = p.dir == PINDIR_INPUT;
    out += std::string("  ") + (input ? "in  " : "out ") + "\"" + p.achName + "\"";
    ComPtr<IPin> peer;
    if (pin->ConnectedTo(peer.Put()) == S_OK) {
      out += (input ? " <- " : " -> ") + PinText(peer.Get());
      MediaType mt;
      if (SUCCEEDED(pin->ConnectionMediaType(&mt))) out += "  [" + DescribeMediaType(mt) + "]";
    }
    out += "\n";
  }
  return out;
}

}  // namespace

std::string Report(TCOMPlay& e) {
  char line[256];
  std::string out;
  auto add = [&](const char* key, const std::string& value) { out += std::string(key) + ": " + value + "\n"; };
  add("File", e.FileName.empty() ? "(not opened)" : e.FileName);
  add("VideoCodec", e.VideoCodec);
  add("VideoWidth", std::to_string(e.VideoWidth));
  add("VideoHeight", std::to_string(e.VideoHeight));
  add("DisplayWidth", std::to_string(e.DisplayWidth));
  add("DisplayHeight", std::to_string(e.DisplayHeight));
  std::snprintf(line, sizeof line, "%.3f", e.FrameRate);
  add("FrameRate", line);
  add("AudioCodec", e.AudioCodec);
  add("SampleRate", std::to_string(e.SampleRate));
  add("Channels", std::to_string(e.Channels));
  add("BitsPerSample", std::to_string(e.BitsPerSample));
  add("AudioBitrate", std::to_string(e.AudioBitrate));
  add("VideoStreams", Join(e.VideoStreams));
  add("AudioStreams", Join(e.AudioStreams));
  add("VideoStreamName", e.VideoStreamName);
  add("AudioStreamName", e.AudioStreamName);
  add("Duration", std::to_string(e.GetDuration()));
  out += "\n";
  ComPtr<IEnumFilters> filters;
  if (e.Graph && SUCCEEDED(e.Graph->EnumFilters(filters.Put()))) {
    for (;;) {
      ComPtr<IBaseFilter> f;
      if (filters->Next(1, f.Put(), nullptr) != S_OK) break;
      out += FilterBlock(f.Get());
    }
  }
  return out;
}

std::string MediaTexts(TCOMPlay& e) {
  mediainfo::TMediaValues v;
  v.Opened = e.State != psNone && e.State != psEmpty;
  v.FileName = e.FileName;
  v.Duration = e.GetDuration();
  v.VideoWidth = e.VideoWidth;
  v.VideoHeight = e.VideoHeight;
  v.DisplayWidth = e.DisplayWidth;
  v.DisplayHeight = e.DisplayHeight;
  v.FrameRate = e.FrameRate;
  v.VideoCodec = e.VideoCodec;
  v.HaveAudio = true;
  v.SampleRate = e.SampleRate;
  v.Channels = e.Channels;
  v.BitsPerSample = e.BitsPerSample;
  v.AudioBitrate = e.AudioBitrate;
  v.AudioCodec = e.AudioCodec;
  mediainfo::TMediaTexts texts;
  int64_t fileSize = 0;
  int32_t duration = 0;
  mediainfo::FillVideoTexts(v, &texts, &fileSize, &duration);
  mediainfo::FillAudioTexts(v, &texts);
  return mediainfo::TextsReport(texts);
}

std::string AbsolutePath(const std::string& name) {
  std::error_code ec;
  auto p = std::filesystem::absolute(name, ec);
  return ec ? name : p.lexically_normal().string();
}

}  // namespace kv::probe
