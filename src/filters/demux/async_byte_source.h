// TAsyncByteSource: the byte source a splitter reads through its input pin.
//
// Adapts the file source's IAsyncReader to the reader's IByteSource. Holds a reference on
// the reader for as long as the splitter's input is connected. Called on whichever thread
// runs libavformat (the connecting thread, then the reader thread).
#pragma once

#include "filters/ffmpeg/format_reader.h"
#include "platform/graph/pin.h"

namespace kv::demux {

class TAsyncByteSource final : public ffmpeg::IByteSource {
 public:
  explicit TAsyncByteSource(ComPtr<IAsyncReader> reader) : reader_(std::move(reader)) {}

  int64_t ReadAt(int64_t offset, uint8_t* dst, int32_t size) override {
    int32_t got = 0;
    const HRESULT hr = reader_->SyncRead(offset, size, dst, &got);
    if (hr == S_OK) return size;
    if (hr == S_FALSE) return got;
    return -1;
  }
  int64_t Size() override {
    int64_t total = 0, available = 0;
    return SUCCEEDED(reader_->Length(&total, &available)) ? total : -1;
  }

 private:
  ComPtr<IAsyncReader> reader_;
};

}  // namespace kv::demux
