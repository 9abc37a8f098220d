// ITeletextDecoder: the interface of the teletext decoder filter, as the engine uses it.
//
// The decoder takes the raw VBI stream of a splitter on input pin 0 and draws the chosen
// page into output pin 0, which feeds the second input of a mixing renderer. Only slots
// 1, 2, 3, 4, 6, 7 and 9 are called by the program; the others keep the slot order.
// Threads: every call comes from the user-interface thread.
#pragma once

#include <cstdint>

#include "platform/com/unknown.h"

namespace kv {

inline constexpr CLSID CLSID_TeletextDecoder = GuidLiteral("{46217F5A-E002-497F-9E4C-76DFD4F42AC8}");
// The teletext value for "no particular subpage".
inline constexpr int32_t TeletextAnySubpage = 0x3F7F;

struct ITeletextDecoder : IUnknown {
  static constexpr IID kIid = GuidLiteral("{3DCEE037-279A-4709-AE99-B7B6B8ECB384}");
  virtual HRESULT GetPage(int32_t* page, int32_t* subpage) = 0;      // 1
  virtual HRESULT PutPageDigit(int32_t digit, int32_t subpage) = 0;  // 2
  virtual HRESULT NextPage(int32_t reserved) = 0;                    // 3
  virtual HRESULT PrevPage(int32_t reserved) = 0;                    // 4
  virtual HRESULT PutPage(int32_t page, int32_t subpage) = 0;        // 5, not called
  virtual HRESULT SetTransparent(int32_t on) = 0;                    // 6
  virtual HRESULT ShowTeletext(int32_t on) = 0;                      // 7
  virtual HRESULT GetShown(int32_t* on) = 0;                         // 8, not called
  // 9: S_OK when saved, E_NOTIMPL for a format the decoder does not write.
  virtual HRESULT SavePages(int32_t flags, int32_t reserved1, int32_t reserved2, const char* fileName) = 0;
  virtual HRESULT Reserved10() = 0;
  virtual HRESULT Reserved11() = 0;
  virtual HRESULT Reserved12() = 0;
  virtual HRESULT Reserved13() = 0;
  virtual HRESULT Reserved14() = 0;
  virtual HRESULT Reserved15() = 0;
};

inline constexpr IID IID_ITeletextDecoder = ITeletextDecoder::kIid;

}  // namespace kv
