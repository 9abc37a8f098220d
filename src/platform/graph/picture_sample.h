// Pictures that travel in a media sample without being copied into its buffer.
//
// What it is: a video decoder's pictures live in the decoder's own reference-counted
// memory. Copying each into the sample's contiguous buffer (the layout the connection's
// media type fixes) costs a whole picture of memory traffic per frame. Instead a decoder
// may attach the picture to a sample that offers IPictureSample. Consumers that read planes
// (the video renderers, the frame grabber) ask for it with GetPicture and keep it alive by
// holding its shared owner, with or without the sample. Every other consumer calls
// GetPointer as before: the sample then writes the picture into its buffer once (the only
// copy), lets the picture go, and is an ordinary sample from then on, so in-place filters
// that change the buffer are always what later filters see.
//
// Ownership: the sample holds one reference on the attached picture until it is written
// out, replaced, or the sample goes back to its allocator. A consumer that keeps the
// picture (a paused renderer) holds its own reference; the sample's buffer is then free.
// Threads: like the sample, used by one thread at a time as it is handed on. A picture is
// immutable once attached and may be read from any thread while referenced.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/com/unknown.h"

namespace kv {

// The planes of a picture as they lie in memory, in libav's order (Y, U, V for planar
// 4:2:0 whatever the subtype's order in a buffer; Y, UV for NV12; one plane for packed
// layouts), first row on top. Sizes are those of the connection's media type.
struct TPicturePlanes {
  const uint8_t* Data[4] = {};
  int Stride[4] = {};  // bytes from one row to the next; negative for rows stored bottom-up
};

class IPicture {
 public:
  virtual ~IPicture() = default;
  virtual const TPicturePlanes& Planes() const = 0;
  // Writes the picture in the connection's buffer layout; false when capacity is too small.
  virtual bool WriteTo(uint8_t* buffer, int32_t capacity) const = 0;
};

struct IPictureSample : IUnknown {
  static constexpr IID kIid = GuidLiteral("{6B0E7C52-3C1A-4F7E-9A41-2D8C5E1F0B73}");
  // Attaches `picture` (null detaches); the sample's actual length must already be set to
  // the picture's size in the buffer layout.
  virtual HRESULT AttachPicture(std::shared_ptr<const IPicture> picture) = 0;
  // The attached picture; null when the buffer holds the data.
  virtual std::shared_ptr<const IPicture> GetPicture() = 0;
};

// The picture a sample carries, when it carries one.
inline std::shared_ptr<const IPicture> AttachedPicture(IUnknown* sample) {
  IPictureSample* pictures = nullptr;
  if (!sample || FAILED(sample->QueryInterface(IPictureSample::kIid, reinterpret_cast<void**>(&pictures))) ||
      !pictures)
    return nullptr;
  std::shared_ptr<const IPicture> picture = pictures->GetPicture();
  pictures->Release();
  return picture;
}

}  // namespace kv
