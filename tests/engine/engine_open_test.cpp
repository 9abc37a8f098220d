// Graph building against stand-in filters: container choice, pin scan, video and audio
// chains, renderers (source and splitter selection, chain building, renderer choice).
#include "engine_fixture.h"

#include "platform/graph/media_guids.h"

namespace kv::test {
namespace {

using OpenVideoTest = EngineTest;

TEST_F(OpenVideoTest, opensThroughMatchingContainer_andBuildsTheWholeChain) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/clip.avi");
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_EQ(engine->FileName, "/media/clip.avi");
  EXPECT_EQ(LastLoaded(kSourceA), "/media/clip.avi");
  for (const char* name : {"Source", "Splitter", "Video Renderer", "High Decoder", "Statistics Filter",
                           "Test Audio Decoder", "Audio renderer"})
    EXPECT_TRUE(InGraph(name)) << name;
  EXPECT_EQ(engine->VideoCodec, "XviD");
  EXPECT_EQ(engine->VideoWidth, 320);
  EXPECT_DOUBLE_EQ(engine->FrameRate, 25.0);
  EXPECT_EQ(engine->AudioCodec, "Mpeg Layer 3");
  EXPECT_EQ(engine->SampleRate, 44100);
  EXPECT_EQ(engine->VideoStreamName, "Video 0");
  EXPECT_EQ(engine->AudioStreamIndex, 1);
  EXPECT_EQ(engine->ActiveAudioRenderer, "Default DirectSound Device");
  // The display size comes from the renderer (IBasicVideo through the graph).
  EXPECT_EQ(engine->DisplayWidth, 200);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(OpenVideoTest, emptyExtension_emptiesTheGraphAndStops_withoutMessage) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/clip.avi");
  ASSERT_EQ(engine->State, psOpened);
  engine->OpenVideo("");
  EXPECT_EQ(engine->State, psEmpty);
  EXPECT_EQ(engine->FileName, "");
  EXPECT_TRUE(Filters().empty());
  EXPECT_EQ(engine->VideoRenderer, nullptr);
  engine->OpenVideo("/media/noext");
  EXPECT_EQ(engine->State, psEmpty);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(OpenVideoTest, secondContainerIsTried_whenFirstSourceCannotBeCreated) {
  WriteStandardDescriptors();
  Write("Containers/a_first.vc", "[Main]\nExtension=MPG\n[Source]\nGUID=" + Guid(kMissing) +
                                     "\nName=No Such Source\n[Splitter]\nGUID=" + Guid(kSplitter) + "\n");
  Write("Containers/b_second.vc", "[Main]\nExtension=MPG,MPEG\n[Source]\nGUID=" + Guid(kSourceB) +
                                      "\n[Splitter]\nGUID=" + Guid(kSplitter) + "\n");
  engine = MakeEngine();
  engine->OpenVideo("/media/a.mpg");
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_EQ(LastLoaded(kSourceB), "/media/a.mpg");
  EXPECT_TRUE(LogHas("Cannot find No Such Source"));

  Unregister(kSourceB);
  engine->OpenVideo("/media/b.mpg");
  EXPECT_EQ(engine->State, psNone);
  EXPECT_EQ(engine->FileName, "");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Unknown media type");
  EXPECT_TRUE(Filters().empty());
  RegisterStandIn(kSourceB, "Test Source B", Spec(kSourceA));
}

TEST_F(OpenVideoTest, unknownExtensionAndFailedLoad_failTheOpen) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/a.xyz");
  EXPECT_EQ(engine->State, psNone);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Unknown media type");
  EXPECT_TRUE(LogHas(": Unknown media type"));

  Spec(kSourceA).loadResult = E_FAIL;
  engine->OpenVideo("/media/a.avi");
  Spec(kSourceA).loadResult = S_OK;
  EXPECT_EQ(engine->State, psNone);
  EXPECT_EQ(engine->FileName, "");
  EXPECT_EQ(boxes.size(), 1u);  // no message for a file the source cannot load
}

TEST_F(OpenVideoTest, splittingSource_isScannedItself) {
  WriteStandardDescriptors();
  Write("Containers/ogm.vc", "[Main]\nExtension=OGM\n[Source]\nGUID=" + Guid(kSplittingSource) +
                                 "\nSplitter=1\n[Splitter]\nGUID=" + Guid(kSplitter) + "\n");
  engine = MakeEngine();
  engine->OpenVideo("/media/a.ogm");
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_EQ(engine->SplitterFilter, nullptr);
  EXPECT_FALSE(InGraph("Splitter"));
  EXPECT_EQ(engine->VideoStreams, std::vector<std::string>{"Video 0"});
}

TEST_F(OpenVideoTest, listsEveryStreamInPinOrder_andBuildsVideoFirst) {
  WriteStandardDescriptors();
  const GUID xvid = FourccSubtype("XVID"), mp3 = WaveFormatSubtype(0x55);
  auto saved = Spec(kSplitter).outputs;
  Spec(kSplitter).outputs = {{"A1", AudioType(mp3)}, {"V1", VideoType(xvid)}, {"A2", AudioType(mp3)},
                             {"V2", VideoType(xvid)}, {"A3", AudioType(mp3)}};
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  Spec(kSplitter).outputs = saved;
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_EQ(engine->VideoStreams, (std::vector<std::string>{"V1", "V2"}));
  EXPECT_EQ(engine->AudioStreams, (std::vector<std::string>{"A1", "A2", "A3"}));
  EXPECT_EQ(engine->VideoStreamName, "V1");
  EXPECT_EQ(engine->AudioStreamName, "A1");
  EXPECT_EQ(engine->AudioStreamIndex, 0);
}

TEST_F(OpenVideoTest, containerRendererThatCannotBeCreated_stopsWithGraphInPlace) {
  WriteStandardDescriptors();
  Write("Containers/dv.vc", "[Main]\nExtension=DV\n[Source]\nGUID=" + Guid(kSourceA) + "\n[Splitter]\nGUID=" +
                                Guid(kSplitter) + "\n[Video Renderer]\nName=Special\nGUID=" + Guid(kMissing) + "\n");
  engine = MakeEngine();
  engine->OpenVideo("/media/a.dv");
  EXPECT_EQ(engine->State, psEmpty);
  EXPECT_EQ(engine->FileName, "");
  EXPECT_TRUE(InGraph("Source"));
  EXPECT_TRUE(InGraph("Splitter"));
  EXPECT_TRUE(boxes.empty());
}

using VideoChainTest = EngineTest;

TEST_F(VideoChainTest, refusingDecoderIsRemoved_andTheNextOneUsed) {
  WriteStandardDescriptors();
  Spec(kDecoderHigh).accept = [](const MediaType&) { return false; };
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  Spec(kDecoderHigh).accept = Spec(kDecoderLow).accept;
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_FALSE(InGraph("High Decoder"));
  EXPECT_TRUE(InGraph("Low Decoder"));
  EXPECT_TRUE(LogHas("Cannot connect video decoder"));
}

TEST_F(VideoChainTest, subtypeWithoutDecoderGuid_failsEvenWithLowerDecoder) {
  WriteStandardDescriptors();
  Write("Decoders/none.vd", "[Main]\nName=None\nPriority=50\n[Formats]\n1=" + Guid(FourccSubtype("XVID")) + "\n");
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  EXPECT_EQ(engine->State, psNone);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Video is in unsupported type or video decoder is not installed");
}

TEST_F(VideoChainTest, nullRenderersWithoutImageAnalysis_skipDecoder_butInsertStatistics) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->NullRenderers = true;
  engine->StatisticsWanted = false;
  engine->OpenVideo("/media/a.avi");
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_FALSE(InGraph("High Decoder"));
  EXPECT_TRUE(InGraph("Null Video Renderer"));
  EXPECT_TRUE(InGraph("Statistics Filter"));
  ASSERT_TRUE(engine->VideoStat);
  // Audio pins are listed and the first one's format recorded, but no audio filter added.
  EXPECT_EQ(engine->AudioStreams, std::vector<std::string>{"Audio 0"});
  EXPECT_EQ(engine->AudioCodec, "Mpeg Layer 3");
  EXPECT_FALSE(InGraph("Test Audio Decoder"));
  EXPECT_EQ(engine->AudioRenderer, nullptr);
}

TEST_F(VideoChainTest, refusingPluginIsSkipped_andLoggedWithItsSlot) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->VideoFilterChain[0] = {"one", "Plug One", false};
  engine->VideoFilterChain[1] = {"two", "Plug Two", false};
  engine->VideoFilterChain[2] = {"three", "Plug Three", false};
  engine->VideoFilterChain[3] = {"four", "Plug Four", false};  // not installed
  engine->OpenVideo("/media/a.avi");
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_TRUE(LogHas("Cannot connect \"Plug Two\"(2) filter"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Filter \"Plug Four\" not found, skipping");
  std::vector<std::string> in, out;
  ASSERT_TRUE(engine->ListFilterPins("Plug Three", &in, &out));
  EXPECT_EQ(in, std::vector<std::string>{"In -> Plug One"});
  ASSERT_TRUE(engine->ListFilterPins("Plug Two", &in, &out));
  EXPECT_EQ(in, std::vector<std::string>{"In"});
}

TEST_F(VideoChainTest, grabberIsLinkedWhenCaptureIsOn) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->CaptureEnabled = true;
  engine->OpenVideo("/media/a.avi");
  EXPECT_TRUE(engine->GrabberConnected);
  EXPECT_TRUE(InGraph("Video Frame Grabber"));
  engine->CaptureEnabled = false;
  engine->OpenVideo("/media/a.avi");
  EXPECT_FALSE(engine->GrabberConnected);
  EXPECT_FALSE(InGraph("Video Frame Grabber"));
}

TEST_F(VideoChainTest, vbiPinWithPlainRenderer_makesNoTeletextDecoder) {
  WriteStandardDescriptors();
  auto saved = Spec(kSplitter).outputs;
  Spec(kSplitter).outputs.push_back({"Teletext", VideoType(MEDIASUBTYPE_VBIV)});
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  Spec(kSplitter).outputs = saved;
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_FALSE(engine->TeletextActive);
  EXPECT_FALSE(InGraph("Teletext decoder"));
  EXPECT_EQ(engine->VideoStreams, (std::vector<std::string>{"Video 0", "Teletext"}));
}

TEST_F(VideoChainTest, rerenderLinksThePlugin_andARendererThatAcceptsNothingStopsTheOpen) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  TFiltersInChain chain;
  chain[0] = {"one", "Plug One", false};
  engine->RerenderVideo(chain);
  EXPECT_TRUE(boxes.empty());
  std::vector<std::string> in, out;
  ASSERT_TRUE(engine->ListFilterPins("Plug One", &in, &out));
  EXPECT_EQ(in, std::vector<std::string>{"In -> High Decoder"});
  // A renderer that accepts nothing any more: a new open cannot build the chain.
  Spec(CLSID_VideoRenderer).accept = [](const MediaType&) { return false; };
  engine->OpenVideo("/media/a.avi");
  Spec(CLSID_VideoRenderer).accept = [](const MediaType& mt) { return mt.majortype == MEDIATYPE_Video; };
  EXPECT_EQ(engine->State, psNone);
  EXPECT_TRUE(LogHas("Cannot connect video renderer"));
}

TEST_F(VideoChainTest, vbiPinWithMixingRenderer_linksTheTeletextDecoder) {
  WriteStandardDescriptors();
  TStandInSpec ttx;
  ttx.inputs = {"VBI"};
  ttx.outputs = {{"Teletext", VideoType(MEDIASUBTYPE_RGB32)}};
  RegisterStandIn(CLSID_TeletextDecoder, "Teletext decoder", ttx);
  auto saved = Spec(kSplitter).outputs;
  Spec(kSplitter).outputs.push_back({"Teletext", VideoType(MEDIASUBTYPE_VBIV)});
  engine = MakeEngine();
  engine->ChangeVideoRenderer("Overlay mixer");
  engine->OpenVideo("/media/a.avi");
  EXPECT_TRUE(engine->TeletextActive);
  std::vector<std::string> in, out;
  ASSERT_TRUE(engine->ListFilterPins("Overlay mixer", &in, &out));
  EXPECT_EQ(in, (std::vector<std::string>{"Input0 -> High Decoder", "Input1 -> Teletext decoder"}));
  // Without an installed decoder the file still plays, without teletext.
  Unregister(CLSID_TeletextDecoder);
  engine->OpenVideo("/media/a.avi");
  Spec(kSplitter).outputs = saved;
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_FALSE(engine->TeletextActive);
}

TEST_F(VideoChainTest, externalToDV_isOfferedWithTheDevice_andTakesNoGrabberForDV) {
  WriteStandardDescriptors();
  SetDVDevice(true);
  TStandInSpec mux;
  mux.inputs = {"Video", "Audio"};
  mux.outputs = {{"DV Out", VideoType(FourccSubtype("dvsd"))}};
  RegisterStandIn(CLSID_DVMux, "DV Muxer", mux);
  TStandInSpec enc;
  enc.inputs = {"In"};
  enc.outputs = {{"Out", VideoType(FourccSubtype("dvsd"))}};
  RegisterStandIn(CLSID_DVVideoEnc, "DV Video Encoder", enc);
  engine = MakeEngine();
  SetDVDevice(false);
  EXPECT_EQ(engine->VideoRendererNames.back(), "External to DV");
  EXPECT_EQ(engine->AudioRendererNames.back(), "External to DV");
  EXPECT_FALSE(engine->AudioDevices.back().Moniker);
  Write("Decoders/dv.vd", "[Main]\nName=DV\n[Decoder]\nName=Low Decoder\nGUID=" + Guid(kDecoderLow) +
                              "\n[Formats]\n1=" + Guid(FourccSubtype("dvsd")) + "\n");
  auto saved = Spec(kSplitter).outputs;
  auto savedAccept = Spec(kDecoderLow).accept;
  Spec(kDecoderLow).accept = {};
  Spec(kSplitter).outputs = {{"DV", VideoType(FourccSubtype("dvsd"))}, {"Audio 0", AudioType(MEDIASUBTYPE_PCM)}};
  SetDVDevice(true);
  engine = MakeEngine();
  engine->CaptureEnabled = true;
  engine->ChangeVideoRenderer("External to DV");
  engine->ChangeAudioRenderer("External to DV");
  engine->OpenVideo("/media/a.avi");
  Spec(kSplitter).outputs = saved;
  Spec(kDecoderLow).accept = savedAccept;
  SetDVDevice(false);
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_FALSE(InGraph("Video Frame Grabber"));
  std::vector<std::string> in, out;
  ASSERT_TRUE(engine->ListFilterPins("DV Muxer", &in, &out));
  EXPECT_EQ(in, (std::vector<std::string>{"Video -> DV Video Encoder", "Audio -> Statistics Filter 0001"}));
  EXPECT_EQ(out, std::vector<std::string>{"DV Out -> Microsoft DV Camera and VCR"});
}

using AudioChainTest = EngineTest;

TEST_F(AudioChainTest, externalToDVForSoundAlone_playsOnTheWaveOutDevice) {
  WriteStandardDescriptors();
  SetDVDevice(true);
  engine = MakeEngine();
  SetDVDevice(false);
  engine->ChangeAudioRenderer("External to DV");
  engine->OpenVideo("/media/a.avi");
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_EQ(engine->ActiveAudioRenderer, "Default WaveOut Device");
  EXPECT_EQ(engine->AudioStreamName, "Audio 0");
}

TEST_F(AudioChainTest, selectAudioStream_switchesToTheNamedPin) {
  WriteStandardDescriptors();
  auto saved = Spec(kSplitter).outputs;
  Spec(kSplitter).outputs = {{"Video 0", VideoType(FourccSubtype("XVID"))},
                             {"English", AudioType(WaveFormatSubtype(0x55))},
                             {"German", AudioType(MEDIASUBTYPE_PCM, 48000)}};
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  EXPECT_EQ(engine->AudioStreamName, "English");
  engine->SelectAudioStream("German");
  EXPECT_EQ(engine->AudioStreamName, "German");
  EXPECT_EQ(engine->AudioStreamIndex, 2);
  EXPECT_EQ(engine->AudioCodec, "PCM");
  EXPECT_EQ(engine->SampleRate, 48000);
  EXPECT_FALSE(InGraph("Test Audio Decoder"));
  engine->SelectAudioStream("English");
  EXPECT_EQ(engine->AudioStreamIndex, 1);
  EXPECT_TRUE(InGraph("Test Audio Decoder"));
  // A long UTF-8 title is listed cut to 127 characters on a character boundary, and the
  // listed name still selects its pin.
  std::string title = "Audio 3 - ";
  while (title.size() < 300) title += "\xC3\xA9";  // "é"
  Spec(kSplitter).outputs.push_back({title, AudioType(MEDIASUBTYPE_PCM, 22050)});
  engine->OpenVideo("/media/a.avi");
  Spec(kSplitter).outputs = saved;
  ASSERT_EQ(engine->AudioStreams.size(), 3u);
  const std::string listed = engine->AudioStreams[2];
  EXPECT_EQ(listed.size(), 10u + 2u * 117u);
  engine->SelectAudioStream(listed);
  EXPECT_EQ(engine->AudioStreamIndex, 3);
  EXPECT_EQ(engine->SampleRate, 22050);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(AudioChainTest, firstTrackWithoutDecoder_secondTrackIsConnected) {
  WriteStandardDescriptors();
  auto saved = Spec(kSplitter).outputs;
  Spec(kSplitter).outputs = {{"Video 0", VideoType(FourccSubtype("XVID"))},
                             {"Audio odd", AudioType(WaveFormatSubtype(0x1234))},
                             {"Audio mp3", AudioType(WaveFormatSubtype(0x55))}};
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  Spec(kSplitter).outputs = saved;
  EXPECT_EQ(engine->AudioStreams, (std::vector<std::string>{"Audio odd", "Audio mp3"}));
  EXPECT_EQ(engine->AudioStreamIndex, 2);
  EXPECT_EQ(engine->AudioStreamName, "Audio mp3");
}

TEST_F(AudioChainTest, pcmWithoutDecoderGuid_goesStraightToTheRenderer) {
  WriteStandardDescriptors();
  auto saved = Spec(kSplitter).outputs;
  Spec(kSplitter).outputs = {{"Video 0", VideoType(FourccSubtype("XVID"))}, {"PCM", AudioType(MEDIASUBTYPE_PCM)}};
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  Spec(kSplitter).outputs = saved;
  EXPECT_EQ(engine->AudioDecoder, nullptr);
  EXPECT_EQ(engine->AudioCodec, "PCM");
  EXPECT_EQ(engine->AudioStreamName, "PCM");
  EXPECT_TRUE(InGraph("Audio renderer"));
}

TEST_F(AudioChainTest, ac3GoesToWaveOut_onlyWhenTheSettingSaysSo) {
  WriteStandardDescriptors();
  Write("Decoders/ac3.ad", "[Main]\nName=AC3\n[Decoder]\nName=Test Audio Decoder\nGUID=" + Guid(kAudioDecoder) +
                               "\n[Formats]\n1=" + Guid(WaveFormatSubtype(0x2000)) + "\n");
  auto saved = Spec(kSplitter).outputs;
  auto savedAccept = Spec(kAudioDecoder).accept;
  Spec(kAudioDecoder).accept = {};
  Spec(kSplitter).outputs = {{"Video 0", VideoType(FourccSubtype("XVID"))}, {"AC3", AudioType(WaveFormatSubtype(0x2000))}};
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  EXPECT_EQ(engine->AudioCodec, "Dolby AC3");
  EXPECT_EQ(engine->ActiveAudioRenderer, "Default WaveOut Device");
  engine->AC3WaveOut = false;
  engine->OpenVideo("/media/a.avi");
  EXPECT_EQ(engine->ActiveAudioRenderer, "Default DirectSound Device");
  Spec(kSplitter).outputs = saved;
  Spec(kAudioDecoder).accept = savedAccept;
}

TEST_F(AudioChainTest, noAudioDevice_playsThePictureWithoutSound) {
  WriteStandardDescriptors();
  SetAudioDevices({});
  engine = MakeEngine();
  EXPECT_EQ(engine->AudioRendererName, "");
  engine->OpenVideo("/media/a.avi");
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_EQ(engine->FileName, "/media/a.avi");
  EXPECT_TRUE(InGraph("Video Renderer"));
  EXPECT_FALSE(InGraph("Test Audio Decoder"));
  EXPECT_TRUE(LogHas("playing without sound"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(AudioChainTest, openAudioOfTheOpenFile_reconnectsFromItsOwnSplitter) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  engine->OpenAudio("/media/a.avi");  // already connected: nothing happens
  EXPECT_EQ(engine->AudioStreamName, "Audio 0");
  engine->AudioFileName.clear();
  engine->OpenAudio("/media/a.avi");
  EXPECT_EQ(engine->AudioFileName, "/media/a.avi");
  EXPECT_EQ(engine->AudioStreams, std::vector<std::string>{"Audio 0"});
  EXPECT_TRUE(InGraph("Test Audio Decoder"));
}

TEST_F(AudioChainTest, openAudioOfSeparateFile_usesVideoContainerWhenOnlyItMatches) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  engine->OpenAudio("/media/dub.divx");
  EXPECT_EQ(engine->AudioFileName, "/media/dub.divx");
  EXPECT_TRUE(InGraph("Audio Source"));
  EXPECT_TRUE(InGraph("Audio splitter"));
  engine->OpenAudio("/media/dub.zzz");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Unknown media type");
}

TEST_F(AudioChainTest, refusedLinksAndMissingDecoders_showTheirErrorBoxes) {
  WriteStandardDescriptors();
  auto saved = Spec(kSplitter).outputs;
  Spec(kSplitter).outputs = {{"Video 0", VideoType(FourccSubtype("XVID"))},
                             {"English", AudioType(WaveFormatSubtype(0x55))},
                             {"Odd", AudioType(WaveFormatSubtype(0x7777))}};
  // The decoder refuses the stream: the chain fails with its box, the picture plays on.
  auto accept = Spec(kAudioDecoder).accept;
  Spec(kAudioDecoder).accept = [](const MediaType&) { return false; };
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  Spec(kAudioDecoder).accept = accept;
  EXPECT_EQ(engine->State, psOpened);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0], "Cannot connect audio decoder");
  // A stream no decoder takes: the switch says so.
  boxes.clear();
  engine->OpenVideo("/media/a.avi");
  ASSERT_EQ(engine->AudioStreamName, "English");
  engine->SelectAudioStream("Odd");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Audio is in unsupported type or audio decoder is not installed");
  // A separate audio file without any container: its own box.
  boxes.clear();
  engine->OpenAudio("/media/dub.zzz");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Unknown media type");
  Spec(kSplitter).outputs = saved;
}

using RendererTest = EngineTest;

TEST_F(RendererTest, overlayMixer_buildsMixerAndRendererBehindIt) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  ASSERT_NE(std::find(engine->VideoRendererNames.begin(), engine->VideoRendererNames.end(), "Overlay mixer"),
            engine->VideoRendererNames.end());
  engine->ChangeVideoRenderer("Overlay mixer");
  engine->OpenVideo("/media/a.avi");
  EXPECT_EQ(engine->State, psOpened);
  EXPECT_TRUE(InGraph("Overlay mixer"));
  EXPECT_TRUE(InGraph("Video Renderer"));
  std::vector<std::string> in, out;
  ASSERT_TRUE(engine->ListFilterPins("Overlay mixer", &in, &out));
  EXPECT_EQ(out, std::vector<std::string>{"Output -> Video Renderer"});
  EXPECT_EQ(in, (std::vector<std::string>{"Input0 -> High Decoder", "Input1"}));
}

TEST_F(RendererTest, changeVideoRenderer_refusesUnknownNames_andRebuildsKnownOnes) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  engine->ChangeVideoRenderer("No Such Renderer");
  EXPECT_EQ(engine->VideoRendererName, "Video Renderer");
  engine->ChangeVideoRenderer("Video Renderer");  // the current one: nothing happens
  EXPECT_TRUE(InGraph("Video Renderer"));
  engine->ChangeVideoRenderer("Overlay mixer 2");
  EXPECT_TRUE(InGraph("Overlay mixer 2"));
  std::vector<std::string> in, out;
  ASSERT_TRUE(engine->ListFilterPins("Overlay mixer 2", &in, &out));
  EXPECT_EQ(in[0], "Input0 -> High Decoder");
  EXPECT_TRUE(InGraph("Video Renderer"));  // behind the mixer
  // A name that is listed (compared without case) but builds nothing leaves the graph
  // without a video renderer until the next open.
  engine->ChangeVideoRenderer("overlay MIXER 2");
  EXPECT_EQ(engine->VideoRendererName, "overlay MIXER 2");
  EXPECT_EQ(engine->VideoRenderer, nullptr);
}

TEST_F(RendererTest, changeAudioRenderer_refusesMissingDevice_andRewiresKnownOne) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  engine->ChangeAudioRenderer("Gone Device");
  EXPECT_EQ(engine->AudioRendererName, "Default DirectSound Device");
  engine->ChangeAudioRenderer("Default WaveOut Device");
  EXPECT_EQ(engine->AudioRendererName, "Default WaveOut Device");
  EXPECT_EQ(engine->ActiveAudioRenderer, "Default WaveOut Device");
  std::vector<std::string> in, out;
  ASSERT_TRUE(engine->ListFilterPins("Audio renderer", &in, &out));
  EXPECT_EQ(in, std::vector<std::string>{"Audio Input pin (rendered) -> Test Audio Decoder"});
}

}  // namespace
}  // namespace kv::test
