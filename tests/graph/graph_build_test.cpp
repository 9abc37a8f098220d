// Building graphs: membership, names, connection rules and refusals, intelligent
// connect, Render, removal of connected filters, forwarding of renderer interfaces.
#include "graph_fixture.h"

namespace kv::testing {
namespace {

using GraphBuild = GraphTest;

TEST_F(GraphBuild, AddFilter_makesNamesUnique_andSaysSo) {
  ComPtr<IBaseFilter> a(new TCountingRenderer()), b(new TCountingRenderer()), c(new TCountingRenderer());
  EXPECT_EQ(graph->AddFilter(a.Get(), "Renderer"), S_OK);
  EXPECT_EQ(graph->AddFilter(b.Get(), "Renderer"), VFW_S_DUPLICATE_NAME);
  EXPECT_EQ(graph->AddFilter(c.Get(), "Renderer"), VFW_S_DUPLICATE_NAME);
  FILTER_INFO info;
  b->QueryFilterInfo(&info);
  EXPECT_EQ(info.achName, "Renderer 0001");
  c->QueryFilterInfo(&info);
  EXPECT_EQ(info.achName, "Renderer 0002");
  EXPECT_TRUE(IsSameObject(info.pGraph.Get(), graph.Get()));
  EXPECT_EQ(graph->AddFilter(a.Get(), "Again"), E_INVALIDARG);
  EXPECT_EQ(graph->AddFilter(nullptr, "Null"), E_POINTER);
}

TEST_F(GraphBuild, FindFilterByName_findsExactNamesOnly) {
  ComPtr<IBaseFilter> a(new TCountingRenderer());
  graph->AddFilter(a.Get(), "Video Renderer");
  ComPtr<IBaseFilter> found;
  EXPECT_EQ(graph->FindFilterByName("Video Renderer", found.Put()), S_OK);
  EXPECT_TRUE(IsSameObject(found.Get(), a.Get()));
  EXPECT_EQ(graph->FindFilterByName("video renderer", found.Put()), VFW_E_NOT_FOUND);
  EXPECT_FALSE(found);
}

TEST_F(GraphBuild, EnumFilters_listsInAddOrder_andResetSeesRemovals) {
  ComPtr<IBaseFilter> a(new TCountingRenderer()), b(new TCountingRenderer());
  graph->AddFilter(a.Get(), "A");
  graph->AddFilter(b.Get(), "B");
  ComPtr<IEnumFilters> e;
  ASSERT_EQ(graph->EnumFilters(e.Put()), S_OK);
  IBaseFilter* got[3] = {};
  ULONG n = 0;
  EXPECT_EQ(e->Next(3, got, &n), S_FALSE);
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(got[0], a.Get());
  EXPECT_EQ(got[1], b.Get());
  got[0]->Release();
  got[1]->Release();
  graph->RemoveFilter(a.Get());
  e->Reset();
  ComPtr<IBaseFilter> first;
  ASSERT_EQ(e->Next(1, first.Put(), nullptr), S_OK);
  EXPECT_EQ(first.Get(), b.Get());
}

TEST_F(GraphBuild, EnumPins_keepsTheFilterOrder) {
  ComPtr<TGeneratorSource> g(new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2), TestAudioType(),
                                                   TestVideoType(MEDIASUBTYPE_VBIV)},
                                                  kSecond, kFrame));
  ComPtr<IEnumPins> e;
  g->EnumPins(e.Put());
  std::vector<std::string> names;
  ComPtr<IPin> p;
  while (e->Next(1, p.Put(), nullptr) == S_OK) {
    PIN_INFO info;
    p->QueryPinInfo(&info);
    names.push_back(info.achName);
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Out0", "Out1", "Out2"}));
  auto first = FirstMediaType(PinOf(g.Get(), PINDIR_OUTPUT, 1).Get());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->majortype, MEDIATYPE_Audio);
}

TEST_F(GraphBuild, ConnectDirect_appliesTheConnectionRules) {
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2)}, kSecond, kFrame);
  ComPtr<TCountingRenderer> audioOnly(new TCountingRenderer(MEDIATYPE_Audio));
  ComPtr<TCountingRenderer> any(new TCountingRenderer());
  ComPtr<TCountingRenderer> outside(new TCountingRenderer());
  graph->AddFilter(gen.Get(), "Source");
  graph->AddFilter(audioOnly.Get(), "Audio");
  graph->AddFilter(any.Get(), "Any");
  auto out = PinOf(gen.Get(), PINDIR_OUTPUT, 0);
  auto in = PinOf(any.Get(), PINDIR_INPUT, 0);
  struct Row {
    const char* what;
    IPin* from;
    IPin* to;
    HRESULT expected;
  } rows[] = {
      {"refused type", out.Get(), PinOf(audioOnly.Get(), PINDIR_INPUT, 0).Get(), VFW_E_NO_ACCEPTABLE_TYPES},
      {"input to output", in.Get(), out.Get(), VFW_E_INVALID_DIRECTION},
      {"filter not in graph", out.Get(), PinOf(outside.Get(), PINDIR_INPUT, 0).Get(), VFW_E_NOT_IN_GRAPH},
      {"accepted", out.Get(), in.Get(), S_OK},
      {"already connected", out.Get(), in.Get(), VFW_E_ALREADY_CONNECTED},
  };
  for (auto& r : rows) EXPECT_EQ(graph->ConnectDirect(r.from, r.to, nullptr), r.expected) << r.what;
  ComPtr<IPin> peer;
  EXPECT_EQ(in->ConnectedTo(peer.Put()), S_OK);
  EXPECT_EQ(peer.Get(), out.Get());
  MediaType mt;
  EXPECT_EQ(in->ConnectionMediaType(&mt), S_OK);
  EXPECT_EQ(mt.subtype, MEDIASUBTYPE_YUY2);
  EXPECT_EQ(PinOf(audioOnly.Get(), PINDIR_INPUT, 0)->ConnectionMediaType(&mt), VFW_E_NOT_CONNECTED);
}

TEST_F(GraphBuild, ConnectDirect_withAMediaType_usesExactlyThatType) {
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2)}, kSecond, kFrame);
  ComPtr<TCountingRenderer> r(new TCountingRenderer());
  graph->AddFilter(gen.Get(), "Source");
  graph->AddFilter(r.Get(), "Renderer");
  MediaType other = TestVideoType(MEDIASUBTYPE_RGB32);
  auto out = PinOf(gen.Get(), PINDIR_OUTPUT, 0);
  auto in = PinOf(r.Get(), PINDIR_INPUT, 0);
  EXPECT_EQ(graph->ConnectDirect(out.Get(), in.Get(), &other), VFW_E_TYPE_NOT_ACCEPTED);
  MediaType partial;
  partial.majortype = MEDIATYPE_Audio;
  EXPECT_EQ(graph->ConnectDirect(out.Get(), in.Get(), &partial), VFW_E_NO_ACCEPTABLE_TYPES);
  partial.majortype = MEDIATYPE_Video;
  EXPECT_EQ(graph->ConnectDirect(out.Get(), in.Get(), &partial), S_OK);
}

TEST_F(GraphBuild, RefusingTransform_refusesOnlyTheTypeItWasToldTo) {
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2)}, kSecond, kFrame);
  transform = new TTestTransform(TTransformMode::InPlace);
  transform->RefuseSubtype(MEDIASUBTYPE_YUY2);
  graph->AddFilter(gen.Get(), "Source");
  graph->AddFilter(transform.Get(), "Transform");
  auto out = PinOf(gen.Get(), PINDIR_OUTPUT, 0);
  auto in = PinOf(transform.Get(), PINDIR_INPUT, 0);
  EXPECT_TRUE(FAILED(graph->ConnectDirect(out.Get(), in.Get(), nullptr)));
  transform->RefuseSubtype(MEDIASUBTYPE_RGB32);
  EXPECT_EQ(graph->ConnectDirect(out.Get(), in.Get(), nullptr), S_OK);
}

TEST_F(GraphBuild, TransformOutput_cannotConnectBeforeItsInput) {
  transform = new TTestTransform(TTransformMode::InPlace);
  ComPtr<TCountingRenderer> r(new TCountingRenderer());
  graph->AddFilter(transform.Get(), "Transform");
  graph->AddFilter(r.Get(), "Renderer");
  EXPECT_TRUE(FAILED(graph->ConnectDirect(PinOf(transform.Get(), PINDIR_OUTPUT, 0).Get(),
                                          PinOf(r.Get(), PINDIR_INPUT, 0).Get(), nullptr)));
}

TEST_F(GraphBuild, RemoveFilter_disconnectsItsPeers) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, kSecond, kFrame, true);
  auto genOut = PinOf(gen.Get(), PINDIR_OUTPUT, 0);
  auto rendererIn = PinOf(renderers[0].Get(), PINDIR_INPUT, 0);
  EXPECT_EQ(graph->RemoveFilter(transform.Get()), S_OK);
  ComPtr<IPin> peer;
  EXPECT_EQ(genOut->ConnectedTo(peer.Put()), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(rendererIn->ConnectedTo(peer.Put()), VFW_E_NOT_CONNECTED);
  FILTER_INFO info;
  transform->QueryFilterInfo(&info);
  EXPECT_FALSE(info.pGraph);
  EXPECT_EQ(graph->RemoveFilter(transform.Get()), VFW_E_NOT_FOUND);
}

TEST_F(GraphBuild, RemoveFilter_whileRunning_stopsTheGraphFirst) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 1000 * kSecond, kFrame, true);
  mediaFilter->SetSyncSource(nullptr);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  renderers[0]->WaitForCount(3);
  EXPECT_EQ(graph->RemoveFilter(transform.Get()), S_OK);
  OAFilterState st;
  control->GetState(0, &st);
  EXPECT_EQ(st, State_Stopped);
}

TEST_F(GraphBuild, Disconnect_isRefusedWhileRunning) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, 1000 * kSecond, kFrame);
  mediaFilter->SetSyncSource(nullptr);
  control->Run();
  auto in = PinOf(renderers[0].Get(), PINDIR_INPUT, 0);
  EXPECT_EQ(graph->Disconnect(in.Get()), VFW_E_NOT_STOPPED);
  control->Stop();
  EXPECT_EQ(graph->Disconnect(in.Get()), S_OK);
  EXPECT_EQ(graph->Disconnect(in.Get()), S_FALSE);
}

class IntelligentConnect : public GraphTest {
 protected:
  static constexpr CLSID kLow = GuidLiteral("{EA11F288-EA4E-4124-9A17-11DA3503FE1A}");
  static constexpr CLSID kHigh = GuidLiteral("{7B3A3224-F62A-483F-B454-E1AD89A56283}");
  static constexpr CLSID kRenderer = GuidLiteral("{CC908600-DAA1-48BB-988B-E2837BD4DD38}");
  void TearDown() override {
    GraphTest::TearDown();
    ClassRegistry().Unregister(kLow);
    ClassRegistry().Unregister(kHigh);
    ClassRegistry().Unregister(kRenderer);
  }
};

TEST_F(IntelligentConnect, Connect_insertsTheRegisteredTransformOfHighestMerit) {
  RegisterTestTransform(kLow, "Low converter", MERIT_UNLIKELY, TTransformMode::Copy, MEDIASUBTYPE_YUY2,
                        MEDIASUBTYPE_RGB32);
  RegisterTestTransform(kHigh, "High converter", MERIT_NORMAL, TTransformMode::Copy, MEDIASUBTYPE_YUY2,
                        MEDIASUBTYPE_RGB32);
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2)}, kSecond, kFrame);
  transform = new TTestTransform(TTransformMode::InPlace, MEDIASUBTYPE_RGB32);  // takes RGB32 only
  graph->AddFilter(gen.Get(), "Source");
  graph->AddFilter(transform.Get(), "Needs RGB32");
  ASSERT_EQ(graph->Connect(PinOf(gen.Get(), PINDIR_OUTPUT, 0).Get(), PinOf(transform.Get(), PINDIR_INPUT, 0).Get()),
            S_OK);
  ComPtr<IBaseFilter> inserted;
  EXPECT_EQ(graph->FindFilterByName("High converter", inserted.Put()), S_OK);
  EXPECT_EQ(graph->FindFilterByName("Low converter", inserted.Put()), VFW_E_NOT_FOUND);
}

TEST_F(IntelligentConnect, Connect_fails_andLeavesNothingBehind_whenNoPathExists) {
  RegisterTestTransform(kLow, "Wrong converter", MERIT_NORMAL, TTransformMode::Copy, MEDIASUBTYPE_YUY2,
                        MEDIASUBTYPE_UYVY);
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2)}, kSecond, kFrame);
  transform = new TTestTransform(TTransformMode::InPlace, MEDIASUBTYPE_RGB32);
  graph->AddFilter(gen.Get(), "Source");
  graph->AddFilter(transform.Get(), "Needs RGB32");
  EXPECT_TRUE(FAILED(graph->Connect(PinOf(gen.Get(), PINDIR_OUTPUT, 0).Get(),
                                    PinOf(transform.Get(), PINDIR_INPUT, 0).Get())));
  ComPtr<IEnumFilters> e;
  graph->EnumFilters(e.Put());
  IBaseFilter* all[4] = {};
  ULONG n = 0;
  e->Next(4, all, &n);
  for (ULONG i = 0; i < n; ++i) all[i]->Release();
  EXPECT_EQ(n, 2u);
}

TEST_F(IntelligentConnect, Render_prefersARendererAlreadyInTheGraph_elseARegisteredOne) {
  RegisterTestRenderer(kRenderer, "Registered renderer", MERIT_NORMAL, MEDIATYPE_Audio, GUID_NULL);
  gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2), TestAudioType()}, kSecond, kFrame);
  ComPtr<TCountingRenderer> present(new TCountingRenderer(MEDIATYPE_Video));
  graph->AddFilter(gen.Get(), "Source");
  graph->AddFilter(present.Get(), "Present");
  EXPECT_EQ(graph->Render(PinOf(gen.Get(), PINDIR_OUTPUT, 0).Get()), S_OK);
  ComPtr<IPin> peer;
  EXPECT_EQ(PinOf(present.Get(), PINDIR_INPUT, 0)->ConnectedTo(peer.Put()), S_OK);
  EXPECT_EQ(graph->Render(PinOf(gen.Get(), PINDIR_OUTPUT, 1).Get()), S_OK);
  ComPtr<IBaseFilter> added;
  EXPECT_EQ(graph->FindFilterByName("Registered renderer", added.Put()), S_OK);
  EXPECT_EQ(graph->Render(PinOf(gen.Get(), PINDIR_OUTPUT, 1).Get()), VFW_E_ALREADY_CONNECTED);
}

// A renderer that offers IBasicAudio, as the audio renderer will.
class TVolumeRenderer : public TCountingRenderer, public IBasicAudio {
 public:
  TVolumeRenderer() : TCountingRenderer(MEDIATYPE_Audio) {}
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IBasicAudio::kIid) return GetInterface(static_cast<IBasicAudio*>(this), out);
    return TCountingRenderer::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT put_Volume(int32_t v) override {
    volume = v;
    return S_OK;
  }
  HRESULT get_Volume(int32_t* v) override {
    *v = volume;
    return S_OK;
  }
  HRESULT put_Balance(int32_t) override { return S_OK; }
  HRESULT get_Balance(int32_t* b) override {
    *b = 0;
    return S_OK;
  }
  int32_t volume = 0;
};

TEST_F(GraphBuild, BasicAudio_isNotImplemented_untilARendererOffersIt) {
  auto audio = graph.Query<IBasicAudio>();
  ASSERT_TRUE(audio);
  int32_t v = 1;
  EXPECT_EQ(audio->get_Volume(&v), E_NOTIMPL);
  EXPECT_EQ(graph.Query<IBasicVideo>()->get_VideoWidth(&v), E_NOTIMPL);
  EXPECT_EQ(graph.Query<IVideoWindow>()->put_Visible(OAFALSE), E_NOTIMPL);
  ComPtr<TVolumeRenderer> r(new TVolumeRenderer);
  graph->AddFilter(static_cast<IBaseFilter*>(r.Get()), "Audio renderer");
  EXPECT_EQ(audio->put_Volume(-10000), S_OK);
  EXPECT_EQ(r->volume, -10000);
  EXPECT_EQ(audio->get_Volume(&v), S_OK);
  EXPECT_EQ(v, -10000);
}

}  // namespace
}  // namespace kv::testing
