// Configuration interfaces of the video renderers and mixers, and their class identifiers.
//
// The engine configures the renderers it builds through these (mixer pins: aspect ratio
// mode and colour key; mixing renderers: number of streams, rendering mode, aspect ratio
// mode, colour key). Only the methods this program uses are declared; identifiers are the
// platform's published ones so that code written against them reads the same.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"

namespace kv {

using COLORREF = uint32_t;  // 0x00BBGGRR

inline constexpr uint32_t CK_NOCOLORKEY = 0;
inline constexpr uint32_t CK_INDEX = 1;
inline constexpr uint32_t CK_RGB = 2;

struct COLORKEY {
  uint32_t KeyType = CK_RGB;
  uint32_t PaletteIndex = 0;
  COLORREF LowColorValue = 0;
  COLORREF HighColorValue = 0;
};

enum AM_ASPECT_RATIO_MODE : int32_t {
  AM_ARMODE_STRETCHED = 0,
  AM_ARMODE_LETTER_BOX = 1,
  AM_ARMODE_CROP = 2,
  AM_ARMODE_STRETCHED_AS_PRIMARY = 3,
};

// On each input pin of an overlay mixer.
struct IMixerPinConfig : IUnknown {
  static constexpr IID kIid = GuidLiteral("{593CDDE1-0759-11D1-9E69-00C04FD7C15B}");
  virtual HRESULT SetColorKey(const COLORKEY* key) = 0;
  // The key the mixer shows the video through; *color is the key as a COLORREF.
  virtual HRESULT GetColorKey(COLORKEY* key, uint32_t* color) = 0;
  virtual HRESULT SetBlendingParameter(uint32_t alpha) = 0;  // 0..255, second stream opacity
  virtual HRESULT GetBlendingParameter(uint32_t* alpha) = 0;
  virtual HRESULT SetAspectRatioMode(AM_ASPECT_RATIO_MODE mode) = 0;
  virtual HRESULT GetAspectRatioMode(AM_ASPECT_RATIO_MODE* mode) = 0;
  virtual HRESULT SetStreamTransparent(int32_t transparent) = 0;
  virtual HRESULT GetStreamTransparent(int32_t* transparent) = 0;
};

inline constexpr uint32_t VMRMode_Windowed = 1;
inline constexpr uint32_t VMRMode_Windowless = 2;
inline constexpr uint32_t VMRMode_Renderless = 4;
inline constexpr uint32_t VMR_ARMODE_NONE = 0;
inline constexpr uint32_t VMR_ARMODE_LETTER_BOX = 1;

struct IVMRFilterConfig : IUnknown {
  static constexpr IID kIid = GuidLiteral("{9E5530C5-7034-48B4-BB46-0B8A6EFC8E36}");
  // Number of input streams (1..16), only while no input is connected.
  virtual HRESULT SetNumberOfStreams(uint32_t streams) = 0;
  virtual HRESULT GetNumberOfStreams(uint32_t* streams) = 0;
  virtual HRESULT SetRenderingMode(uint32_t mode) = 0;  // VMRMode_Windowed only
  virtual HRESULT GetRenderingMode(uint32_t* mode) = 0;
};

struct IVMRAspectRatioControl : IUnknown {
  static constexpr IID kIid = GuidLiteral("{EDE80B5C-BAD6-4623-B537-65586C9F8DFD}");
  virtual HRESULT GetAspectRatioMode(uint32_t* mode) = 0;
  virtual HRESULT SetAspectRatioMode(uint32_t mode) = 0;  // VMR_ARMODE_NONE or _LETTER_BOX
};

struct IVMRWindowlessControl : IUnknown {
  static constexpr IID kIid = GuidLiteral("{0EB1088C-4DCD-46F0-878F-39DAE86A51B7}");
  virtual HRESULT SetColorKey(COLORREF color) = 0;
  virtual HRESULT GetColorKey(COLORREF* color) = 0;
};

// The same three for the OpenGL mixing renderer.
struct IVMRFilterConfig9 : IUnknown {
  static constexpr IID kIid = GuidLiteral("{5A804648-4F66-4867-9C43-4F5C822CF1B8}");
  virtual HRESULT SetNumberOfStreams(uint32_t streams) = 0;
  virtual HRESULT GetNumberOfStreams(uint32_t* streams) = 0;
  virtual HRESULT SetRenderingMode(uint32_t mode) = 0;
  virtual HRESULT GetRenderingMode(uint32_t* mode) = 0;
};

struct IVMRAspectRatioControl9 : IUnknown {
  static constexpr IID kIid = GuidLiteral("{00D96C29-BBDE-4EFC-9901-BB5036392146}");
  virtual HRESULT GetAspectRatioMode(uint32_t* mode) = 0;
  virtual HRESULT SetAspectRatioMode(uint32_t mode) = 0;
};

struct IVMRWindowlessControl9 : IUnknown {
  static constexpr IID kIid = GuidLiteral("{8F537D09-F85E-4414-B23B-502E54C79927}");
  virtual HRESULT SetColorKey(COLORREF color) = 0;
  virtual HRESULT GetColorKey(COLORREF* color) = 0;
};

namespace render {

// Class identifiers of the filters of this module.
inline constexpr CLSID KClsidVideoRenderer = GuidLiteral("{70E102B0-5556-11CE-97C0-00AA0055595A}");
inline constexpr CLSID KClsidOverlayMixer = GuidLiteral("{CD8743A1-3736-11D0-9E69-00C04FD7C15B}");
inline constexpr CLSID KClsidOverlayMixer2 = GuidLiteral("{A0025E90-E45B-11D1-ABE9-00A0C905F375}");
inline constexpr CLSID KClsidVideoMixingRenderer = GuidLiteral("{B87BEB7B-8D29-423F-AE4D-6582C10175AC}");
inline constexpr CLSID KClsidVideoMixingRenderer9 = GuidLiteral("{51B4ABF3-748F-4E3B-A276-C828330E926A}");
inline constexpr CLSID KClsidNullRenderer = GuidLiteral("{C1F400A4-3F08-11D3-9F0B-006008039E37}");

// 32-bit RGB with an opacity byte (second pictures).
inline constexpr GUID KSubtypeARGB32 = GuidLiteral("{773C9AC0-3274-11D0-B724-00AA006C1A01}");

// The colour key of the mixers and mixing renderers: red 16, green 0, blue 16.
inline constexpr COLORREF KDefaultColorKey = 0x100010;

}  // namespace render
}  // namespace kv
