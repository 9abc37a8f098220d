// The engine test fixture.
#include "engine_fixture.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "debugsup/debugsup.h"
#include "filters/stats/statistics_filter.h"
#include "platform/graph/filter_graph.h"
#include "platform/graph/media_guids.h"
#include "platform/ui/messagebox.h"

namespace kv::test {

std::string Guid(const GUID& g) { return GuidToString(g); }

namespace {

bool Subtype(const MediaType& mt, const GUID& subtype) { return mt.subtype == subtype; }

MediaType StreamType() {
  MediaType mt;
  mt.majortype = MEDIATYPE_Stream;
  mt.subtype = MEDIASUBTYPE_Avi;
  return mt;
}

void RegisterStandardStandIns() {
  const GUID xvid = FourccSubtype("XVID");
  const GUID mp3 = WaveFormatSubtype(0x55);
  TStandInSpec source;
  source.fileSource = true;
  source.outputs = {{"Output", StreamType()}};
  RegisterStandIn(kSourceA, "Test Source A", source);
  RegisterStandIn(kSourceB, "Test Source B", source);

  TStandInSpec splitter;
  splitter.inputs = {"Input"};
  splitter.accept = [](const MediaType& mt) { return mt.majortype == MEDIATYPE_Stream; };
  splitter.outputs = {{"Video 0", VideoType(xvid)}, {"Audio 0", AudioType(mp3, 44100, 2, 0)}};
  RegisterStandIn(kSplitter, "Test Splitter", splitter);

  TStandInSpec splitting = splitter;
  splitting.inputs.clear();
  splitting.fileSource = true;
  RegisterStandIn(kSplittingSource, "Test Splitting Source", splitting);

  TStandInSpec decoder;
  decoder.inputs = {"In"};
  decoder.accept = [xvid](const MediaType& mt) { return Subtype(mt, xvid); };
  decoder.outputs = {TOutSpec::FromInput("Out", MEDIASUBTYPE_YUY2)};
  decoder.propertyPages = true;
  RegisterStandIn(kDecoderHigh, "High Decoder", decoder);
  RegisterStandIn(kDecoderLow, "Low Decoder", decoder);

  TStandInSpec adec;
  adec.inputs = {"In"};
  adec.accept = [mp3](const MediaType& mt) { return Subtype(mt, mp3); };
  adec.outputs = {TOutSpec::FromInput("Out", MEDIASUBTYPE_PCM)};
  RegisterStandIn(kAudioDecoder, "Test Audio Decoder", adec);

  TStandInSpec plugin;
  plugin.inputs = {"In"};
  plugin.outputs = {TOutSpec::FromInput("Out", GUID_NULL)};
  RegisterStandIn(kPlugin1, "Plug One", plugin);
  RegisterStandIn(kPlugin3, "Plug Three", plugin);
  TStandInSpec refusing = plugin;
  refusing.accept = [](const MediaType&) { return false; };
  RegisterStandIn(kPlugin2, "Plug Two", refusing);

  TStandInSpec grabber = plugin;
  RegisterStandIn(CLSID_FrameGrabber, "Video Frame Grabber", grabber);

  TStandInSpec renderer;
  renderer.inputs = {"Input"};
  renderer.accept = [](const MediaType& mt) { return mt.majortype == MEDIATYPE_Video; };
  renderer.basicVideo = true;
  RegisterStandIn(CLSID_VideoRenderer, "Video Renderer", renderer);
  TStandInSpec mixer = renderer;
  mixer.inputs = {"Input0", "Input1"};
  mixer.accept = {};
  mixer.basicVideo = false;
  mixer.outputs = {TOutSpec::FromInput("Output", GUID_NULL)};
  RegisterStandIn(CLSID_OverlayMixer, "Overlay Mixer", mixer);
  RegisterStandIn(CLSID_OverlayMixer2, "Overlay Mixer 2", mixer);
  TStandInSpec null;
  null.inputs = {"In"};
  RegisterStandIn(CLSID_NullRenderer, "Null Renderer", null);
  RegisterStatisticsFilter();
}

}  // namespace

void EngineTest::SetUp() {
  CoInitialize();
  RegisterStandardStandIns();
  SetAudioDevices({"Default DirectSound Device", "Default WaveOut Device"});
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  dir = std::filesystem::temp_directory_path() /
        ("kv_engine_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "Containers");
  std::filesystem::create_directories(dir / "Decoders");
  Debug.SetFileName((dir / "kavello.log").string());
  Debug.Enabled = true;
  ui::SetMessageBoxHandler([this](const std::string& text, const std::string& caption) {
    EXPECT_EQ(caption, "Error");
    boxes.push_back(text);
  });
}

void EngineTest::TearDown() {
  engine.reset();
  ui::SetMessageBoxHandler({});
  Debug.Enabled = false;
  std::filesystem::remove_all(dir);
}

void EngineTest::Write(const std::string& relative, const std::string& text) {
  std::ofstream(dir / relative) << text;
}

void EngineTest::WriteStandardDescriptors() {
  Write("Containers/avi.vc", "[Main]\nExtension=AVI,DIVX\nDescription=Movies\n[Source]\nGUID=" + Guid(kSourceA) +
                                 "\n[Splitter]\nGUID=" + Guid(kSplitter) + "\n");
  Write("Decoders/high.vd", "[Main]\nName=High\nPriority=10\n[Decoder]\nName=High Decoder\nGUID=" +
                                Guid(kDecoderHigh) + "\n[Formats]\n1=" + Guid(FourccSubtype("XVID")) + "\n");
  Write("Decoders/low.vd", "[Main]\nName=Low\nPriority=5\n[Decoder]\nName=Low Decoder\nGUID=" + Guid(kDecoderLow) +
                               "\n[Formats]\n1=" + Guid(FourccSubtype("XVID")) + "\n");
  Write("Decoders/mp3.ad", "[Main]\nName=Mp3\nPriority=5\n[Decoder]\nName=Test Audio Decoder\nGUID=" +
                               Guid(kAudioDecoder) + "\n[Formats]\n1=" + Guid(WaveFormatSubtype(0x55)) + "\n");
  Write("Decoders/pcm.ad", "[Main]\nName=PCM\n[Formats]\n1=" + Guid(MEDIASUBTYPE_PCM) + "\n");
}

std::unique_ptr<TCOMPlay> EngineTest::MakeEngine() {
  auto e = std::make_unique<TCOMPlay>(nullptr, dir.string());
  e->CaptureEnabled = false;
  e->UseClock = true;
  return e;
}

std::string EngineTest::Log() {
  std::ifstream in(dir / "kavello.log");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool EngineTest::InGraph(const std::string& name) {
  auto names = Filters();
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace kv::test
