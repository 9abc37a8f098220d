// Configuration interfaces of renderers and DV filters that the engine calls.
//
// Renderer filters that mix two streams (the VMR kinds, the overlay mixers) and the DV
// encoder offer these; the engine calls only the methods declared here, each on the
// user-interface thread while the graph is stopped. A filter that does not offer one is
// simply used without that configuration.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"

namespace kv {

struct IVMRFilterConfig : IUnknown {
  static constexpr IID kIid = GuidLiteral("{9E5530C5-7034-48B4-BB46-0B8A6EFC8E36}");
  virtual HRESULT SetNumberOfStreams(uint32_t streams) = 0;
  virtual HRESULT SetRenderingMode(uint32_t mode) = 0;  // 1: windowed
};

struct IVMRAspectRatioControl : IUnknown {
  static constexpr IID kIid = GuidLiteral("{EDE80B5C-BAD6-4623-B537-65586C9F8DFD}");
  virtual HRESULT SetAspectRatioMode(uint32_t mode) = 0;  // 0: none (stretched)
};

struct IVMRFilterConfig9 : IUnknown {
  static constexpr IID kIid = GuidLiteral("{5A804648-4F66-4867-9C43-4F5C822CF1B8}");
  virtual HRESULT SetNumberOfStreams(uint32_t streams) = 0;
  virtual HRESULT SetRenderingMode(uint32_t mode) = 0;
};

struct IVMRAspectRatioControl9 : IUnknown {
  static constexpr IID kIid = GuidLiteral("{00D96C29-BBDE-4EFC-9901-BB5036392146}");
  virtual HRESULT SetAspectRatioMode(uint32_t mode) = 0;
};

// Offered by the input pins of the overlay mixers.
struct IMixerPinConfig : IUnknown {
  static constexpr IID kIid = GuidLiteral("{593CDDE1-0759-11D1-9E69-00C04FD7C15B}");
  virtual HRESULT SetAspectRatioMode(uint32_t mode) = 0;  // 0: stretched
  // The colour painted where the picture shows through, 0x00BBGGRR.
  virtual HRESULT GetColorKey(uint32_t* color) = 0;
};

struct IVMRWindowlessControl : IUnknown {
  static constexpr IID kIid = GuidLiteral("{0EB1088C-4DCD-46F0-878F-39DAE86A51B7}");
  virtual HRESULT GetColorKey(uint32_t* color) = 0;
};

struct IDVEnc : IUnknown {
  static constexpr IID kIid = GuidLiteral("{D18E17A0-AACB-11D0-AFB0-00AA00B67A42}");
  virtual HRESULT put_IFormatResolution(int32_t videoFormat, int32_t dvFormat, int32_t resolution, bool dvInfo,
                                        const void* info) = 0;
};

}  // namespace kv
