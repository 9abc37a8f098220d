// The frame grabber: the copy of the last picture and its conversion to a bitmap.
#include "filters/grabber/frame_grabber.h"

#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "filters/ffmpeg/av_handles.h"
#include "platform/graph/media_guids.h"

namespace kv {

TFrameGrabber::TFrameGrabber() : TTransformFilter(CLSID_FrameGrabber, TTransformMode::InPlace) {}

TFrameGrabber::~TFrameGrabber() {
  // Buffers never given back are freed with the filter.
  for (uint8_t* b : handedOut_) delete[] b;
}

HRESULT TFrameGrabber::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IFrameGrabber::kIid) return GetInterface(static_cast<IFrameGrabber*>(this), out);
  return TTransformFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT TFrameGrabber::CheckInputType(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Video) return VFW_E_TYPE_NOT_ACCEPTED;
  return video::ReadPictureType(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TFrameGrabber::TransformInPlace(IMediaSample* sample) {
  // A picture carried in place is kept by reference: asking for its bytes would copy it.
  std::shared_ptr<const IPicture> picture = AttachedPicture(sample);
  uint8_t* data = nullptr;
  if (!picture && (FAILED(sample->GetPointer(&data)) || !data)) return S_OK;
  const int32_t length = sample->GetActualDataLength();
  MediaType* changed = nullptr;
  std::optional<video::TPictureGeometry> geometry;
  if (sample->GetMediaType(&changed) == S_OK && changed) {
    geometry = video::ReadPictureType(*changed);
    DeleteMediaType(changed);
  }
  std::shared_ptr<const IPicture> previous;  // let go after the lock (declared first)
  std::lock_guard<std::mutex> lock(frameMutex_);
  if (geometry) {
    geometry_ = *geometry;
  } else if (!haveFrame_ || !geometry_.format) {
    MediaType mt;
    if (FAILED(InputPin()->ConnectionMediaType(&mt))) return S_OK;
    auto g = video::ReadPictureType(mt);
    if (!g) return S_OK;
    geometry_ = *g;
  }
  // A sample shorter than a picture is not kept: converting it would read past its end.
  if (length < geometry_.imageSize) return S_OK;
  previous = std::move(picture_);
  if (picture) {
    picture_ = std::move(picture);
  } else {
    last_.assign(data, data + geometry_.imageSize);  // reuses the capacity: no allocation per frame
  }
  haveFrame_ = true;
  return S_OK;
}

HRESULT TFrameGrabber::GetFrame(int32_t format, int32_t count, uint8_t** buffer, int32_t* size, int32_t* width,
                                int32_t* height) {
  if (!buffer || !size || !width || !height) return E_POINTER;
  *buffer = nullptr;
  *size = 0;
  if (format != FrameFormatRGB555 && format != FrameFormatRGB24) return E_NOTIMPL;
  std::lock_guard<std::mutex> lock(frameMutex_);
  if (!haveFrame_ || !geometry_.format) return E_NOTIMPL;
  const video::TPictureFormatRow& row = *geometry_.format;
  const int w = geometry_.width, h = geometry_.height;
  const int bpp = format == FrameFormatRGB24 ? 3 : 2;
  const int32_t bytes = w * h * bpp;

  // Source planes over the copy, with the layout's stride; bottom-up sources start at the
  // last row with a negative stride so that every source reads top-down.
  uint8_t* src[4] = {};
  int srcStride[4] = {};
  if (picture_) {
    // Planes in libav's order, first row on top, as they lie in the decoder's memory.
    const TPicturePlanes& planes = picture_->Planes();
    for (int i = 0; i < 4; ++i) {
      src[i] = const_cast<uint8_t*>(planes.Data[i]);
      srcStride[i] = planes.Stride[i];
    }
  } else {
    if (av_image_fill_arrays(src, srcStride, last_.data(), row.pixelFormat, geometry_.stride, h, 1) < 0)
      return E_FAIL;
    if (row.swapChroma) {
      std::swap(src[1], src[2]);
      std::swap(srcStride[1], srcStride[2]);
    }
    if (row.bottomUp) {
      src[0] += static_cast<ptrdiff_t>(srcStride[0]) * (h - 1);
      srcStride[0] = -srcStride[0];
    }
  }
  ffmpeg::SwsPtr sws(sws_getContext(w, h, row.pixelFormat, w, h,
                                     format == FrameFormatRGB24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_RGB555LE,
                                     SWS_POINT, nullptr, nullptr, nullptr));
  if (!sws) return E_FAIL;
  auto* out = new uint8_t[static_cast<size_t>(bytes)];
  // The bitmap is bottom-up: write the top row last.
  uint8_t* dst[4] = {out + static_cast<ptrdiff_t>(w) * bpp * (h - 1), nullptr, nullptr, nullptr};
  int dstStride[4] = {-w * bpp, 0, 0, 0};
  sws_scale(sws.get(), src, srcStride, 0, h, dst, dstStride);
  {
    std::lock_guard<std::mutex> handed(handedOutMutex_);
    handedOut_.insert(out);
  }
  *buffer = out;
  *size = bytes;
  *width = w;
  *height = h;
  return S_OK;
}

HRESULT TFrameGrabber::GetFrameInfo(int32_t* width, int32_t* height) {
  if (!width || !height) return E_POINTER;
  std::lock_guard<std::mutex> lock(frameMutex_);
  if (!haveFrame_) return E_NOTIMPL;
  *width = geometry_.width;
  *height = geometry_.height;
  return S_OK;
}

HRESULT TFrameGrabber::FreeFrame(uint8_t* buffer, int32_t size) {
  std::lock_guard<std::mutex> lock(handedOutMutex_);
  // Only buffers this grabber handed out are freed; anything else is refused.
  if (!handedOut_.erase(buffer)) return E_INVALIDARG;
  delete[] buffer;
  return S_OK;
}

void RegisterFrameGrabber(TClassRegistry& registry) {
  TClassRegistration r;
  r.clsid = CLSID_FrameGrabber;
  r.friendlyName = "Video Frame Grabber";
  r.merit = MERIT_DO_NOT_USE;
  r.inputTypes = {{MEDIATYPE_Video, GUID_NULL}};
  r.outputTypes = {{MEDIATYPE_Video, GUID_NULL}};
  r.factory = [](const IID& iid, void** out) { return CreateComObject<TFrameGrabber>(iid, out); };
  registry.RegisterFilter(std::move(r));
}

}  // namespace kv
