// A push source for renderer harness tests: one output pin with a fixed media type that
// delivers the bytes a test gives it, on the calling thread.
//
// Use: create, ConnectTo(renderer input), Pause() both filters (commits the allocator),
// then Deliver(...) from the test or from a std::thread when the renderer may block.
#pragma once

#include <optional>
#include <vector>

#include "platform/graph/base_filter.h"
#include "platform/graph/picture_sample.h"

namespace kv::testing {

class TTestSource;

class TTestOutputPin : public TBaseOutputPin {
 public:
  TTestOutputPin(TTestSource* source, MediaType type, int32_t bufferBytes, int buffers);
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT GetMediaType(int position, MediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

 private:
  MediaType Type_;
  int32_t BufferBytes_;
  int Buffers_;
};

class TTestSource : public TBaseFilter {
 public:
  TTestSource(MediaType type, int32_t bufferBytes, int buffers = 4);
  ~TTestSource() override;

  int GetPinCount() override { return 1; }
  TBasePin* GetPin(int n) override;
  TTestOutputPin* Out() { return Out_.get(); }

  HRESULT ConnectTo(IPin* input);
  // Delivers one sample with these bytes and times; returns the receiver's result.
  HRESULT Deliver(const std::vector<uint8_t>& bytes, std::optional<REFERENCE_TIME> start = std::nullopt,
                  std::optional<REFERENCE_TIME> stop = std::nullopt);
  // Delivers one sample that carries `picture` in place of its bytes (`bytes`: its size in
  // the buffer layout), as the video decoder does.
  HRESULT DeliverPicture(std::shared_ptr<const IPicture> picture, int32_t bytes, REFERENCE_TIME start,
                         REFERENCE_TIME stop);
  HRESULT EndOfStream() { return Out_->DeliverEndOfStream(); }
  HRESULT BeginFlush() { return Out_->DeliverBeginFlush(); }
  HRESULT EndFlush() { return Out_->DeliverEndFlush(); }
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return Out_->DeliverNewSegment(start, stop, rate);
  }

 private:
  std::unique_ptr<TTestOutputPin> Out_;
};

// Breaks the connection of `pin` on both sides. Connected filters hold each other through
// their pins; outside a graph (which disconnects on release) a test unplugs them.
void Unplug(IPin* pin);

// The input pin `index` of a filter (nullptr when absent).
IPin* InputPin(IBaseFilter* filter, int index);
IPin* OutputPin(IBaseFilter* filter, int index);

}  // namespace kv::testing
