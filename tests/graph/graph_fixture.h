// Shared set-up for the whole-graph tests: a fresh graph and helpers to find pins.
#pragma once

#include <gtest/gtest.h>

#include "platform/graph/filter_graph.h"
#include "platform/graph/media_guids.h"
#include "synthetic_filters.h"

namespace kv::testing {

inline ComPtr<IPin> PinOf(IBaseFilter* f, PIN_DIRECTION dir, int index) {
  ComPtr<IEnumPins> pins;
  f->EnumPins(pins.Put());
  ComPtr<IPin> pin;
  int n = 0;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    pin->QueryDirection(&d);
    if (d == dir && n++ == index) return pin;
  }
  return nullptr;
}

class GraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize();
    graph = CreateFilterGraph();
    control = graph.Query<IMediaControl>();
    seeking = graph.Query<IMediaSeeking>();
    events = graph.Query<IMediaEventEx>();
    mediaFilter = graph.Query<IMediaFilter>();
  }
  void TearDown() override {
    if (control) control->Stop();
  }

  // generator (one pin per type) -> renderer per pin; returns the renderers.
  std::vector<ComPtr<TCountingRenderer>> BuildGeneratorGraph(std::vector<MediaType> types, REFERENCE_TIME duration,
                                                             REFERENCE_TIME frame, bool withTransform = false) {
    gen = new TGeneratorSource(types, duration, frame);
    EXPECT_EQ(graph->AddFilter(gen.Get(), "Source"), S_OK);
    std::vector<ComPtr<TCountingRenderer>> renderers;
    for (size_t i = 0; i < types.size(); ++i) {
      ComPtr<IPin> out = PinOf(gen.Get(), PINDIR_OUTPUT, static_cast<int>(i));
      if (withTransform) {
        transform = new TTestTransform(TTransformMode::InPlace);
        EXPECT_EQ(graph->AddFilter(transform.Get(), i ? "Transform " + std::to_string(i) : "Transform"), S_OK);
        EXPECT_EQ(graph->ConnectDirect(out.Get(), PinOf(transform.Get(), PINDIR_INPUT, 0).Get(), nullptr), S_OK);
        out = PinOf(transform.Get(), PINDIR_OUTPUT, 0);
      }
      ComPtr<TCountingRenderer> r(new TCountingRenderer());
      EXPECT_EQ(graph->AddFilter(r.Get(), "Renderer " + std::to_string(i)), S_OK);
      EXPECT_EQ(graph->ConnectDirect(out.Get(), PinOf(r.Get(), PINDIR_INPUT, 0).Get(), nullptr), S_OK);
      renderers.push_back(r);
    }
    return renderers;
  }

  // Drains the event queue; returns the codes seen (parameters freed).
  std::vector<int32_t> DrainEvents() {
    std::vector<int32_t> codes;
    int32_t code;
    intptr_t p1, p2;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
      codes.push_back(code);
      events->FreeEventParams(code, p1, p2);
    }
    return codes;
  }

  ComPtr<IGraphBuilder> graph;
  ComPtr<IMediaControl> control;
  ComPtr<IMediaSeeking> seeking;
  ComPtr<IMediaEventEx> events;
  ComPtr<IMediaFilter> mediaFilter;
  ComPtr<TGeneratorSource> gen;
  ComPtr<TTestTransform> transform;
};

inline constexpr REFERENCE_TIME kSecond = 10000000;
inline constexpr REFERENCE_TIME kFrame = 400000;  // 25 frames per second

}  // namespace kv::testing
