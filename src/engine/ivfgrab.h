// IFrameGrabber: the interface of the frame grabber filter, as the engine uses it.
//
// The grabber sits pass-through in the video chain (input pin 0, output pin 0) and keeps a
// copy of the last picture that passed. GetFrame hands out that picture converted to an
// uncompressed bottom-up bitmap the caller owns until it gives it back with FreeFrame.
// Threads: GetFrame and FreeFrame come from the user-interface thread while the streaming
// thread keeps delivering; the grabber locks its own copy.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"

namespace kv {

inline constexpr CLSID CLSID_FrameGrabber = GuidLiteral("{328AA64B-4FF0-48AC-918E-9856228F56AD}");

// Format codes of GetFrame: 5-5-5 with 16 bits per pixel, and blue-green-red with 24.
inline constexpr int32_t FrameFormatRGB555 = 1;
inline constexpr int32_t FrameFormatRGB24 = 3;

struct IFrameGrabber : IUnknown {
  static constexpr IID kIid = GuidLiteral("{C4975A4B-6795-4F31-94B3-09E418F5CBED}");
  // Slot 1. On S_OK *buffer holds *size bytes of the last picture, bottom row first, in
  // rows of exactly width x bytes-per-pixel; the caller gives it back with FreeFrame.
  // E_NOTIMPL when no picture has passed yet or the format code is unknown.
  virtual HRESULT GetFrame(int32_t format, int32_t count, uint8_t** buffer, int32_t* size, int32_t* width,
                           int32_t* height) = 0;
  virtual HRESULT GetFrameInfo(int32_t* width, int32_t* height) = 0;  // slot 2, not called
  virtual HRESULT FreeFrame(uint8_t* buffer, int32_t size) = 0;       // slot 3
};

inline constexpr IID IID_IFrameGrabber = IFrameGrabber::kIid;

}  // namespace kv
