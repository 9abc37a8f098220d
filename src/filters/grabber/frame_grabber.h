// The frame grabber: a pass-through video filter that keeps a copy of the last picture.
//
// What it is: class {328AA64B-4FF0-48AC-918E-9856228F56AD}, one input and one output pin,
// in place. It accepts the uncompressed pictures of the video decoder (the layouts of
// filters/video/picture_formats.h), copies each one as it passes (or, for a decoder's
// picture carried in place, keeps a reference on it: no copy), and converts the last one
// on request (IFrameGrabber::GetFrame, engine/ivfgrab.h) into a bottom-up 5-5-5 or
// 24-bit BGR bitmap that the caller owns until FreeFrame.
// Threads: TransformInPlace runs on the upstream streaming thread; GetFrame/FreeFrame on
// the user-interface thread. frameMutex_ guards the copy and its geometry (held while a
// picture is copied in or converted out); handedOutMutex_ guards the set of buffers given
// out. Lock order: frameMutex_ before handedOutMutex_.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

#include "engine/ivfgrab.h"
#include "filters/video/picture_formats.h"
#include "platform/com/class_registry.h"
#include "platform/graph/picture_sample.h"
#include "platform/graph/transform_filter.h"

namespace kv {

class TFrameGrabber : public TTransformFilter, public IFrameGrabber {
 public:
  TFrameGrabber();
  ~TFrameGrabber() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT CheckInputType(const MediaType& type) override;
  HRESULT TransformInPlace(IMediaSample* sample) override;

  // IFrameGrabber
  HRESULT GetFrame(int32_t format, int32_t count, uint8_t** buffer, int32_t* size, int32_t* width,
                   int32_t* height) override;
  HRESULT GetFrameInfo(int32_t* width, int32_t* height) override;
  HRESULT FreeFrame(uint8_t* buffer, int32_t size) override;

 private:
  std::mutex frameMutex_;  // guards last_, picture_, geometry_, haveFrame_
  std::vector<uint8_t> last_;
  std::shared_ptr<const IPicture> picture_;  // the last picture when carried in place (last_ unused)
  video::TPictureGeometry geometry_;
  bool haveFrame_ = false;
  std::mutex handedOutMutex_;  // guards handedOut_
  std::set<uint8_t*> handedOut_;
};

// Registers the frame grabber (never chosen by intelligent connect). Idempotent.
void RegisterFrameGrabber(TClassRegistry& registry = ClassRegistry());

}  // namespace kv
