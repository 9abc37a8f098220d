// The teletext decoder filter: class {46217F5A-E002-497F-9E4C-76DFD4F42AC8}, "Teletext decoder".
//
// What it is: input pin 0 ("VBI") takes a demultiplexer's DVB teletext stream (major type
// Video, subtype VBIV: PES payloads as libavformat delivers them) and feeds every packet to
// the page cache (page_cache.h). Output pin 0 ("Teletext") gives the selected page as an
// ARGB32 picture of 480 x 250 (page_picture.h) to the second input of a mixing renderer,
// which scales it over the video; an empty sample takes the page away (hidden). A new
// picture goes out when the page changes on air or the user changes what is shown, with
// the time stamps of the packet that brought it. ITeletextDecoder (engine/ittx.h) selects,
// shows and saves pages (page_files.h).
//
// Threads: Receive runs on the demultiplexer's teletext streaming thread; ITeletextDecoder
// calls come from the user-interface thread; both may send a picture. pageMutex_ guards the
// page cache and every selection field; deliverMutex_ orders the pictures sent downstream
// and is never held with pageMutex_ (lock order: deliverMutex_ before pageMutex_ is never
// needed: a picture is drawn under pageMutex_, released, then sent under deliverMutex_).
// Nothing is called downstream with pageMutex_ held. timingMutex_ is taken alone; the clock's
// advise callback takes it, so Unadvise is called without it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/ittx.h"
#include "filters/teletext/page_cache.h"
#include "filters/teletext/page_selection.h"
#include "platform/com/class_registry.h"
#include "platform/graph/base_filter.h"

namespace kv::teletext {

inline constexpr GUID kSubtypeArgb32 = GuidLiteral("{773C9AC0-3274-11D0-B724-00AA006C1A01}");

// SavePages flags: format bits and scope bits.
inline constexpr int32_t kSaveBitmap = 16;
inline constexpr int32_t kSaveText = 32;
inline constexpr int32_t kSaveRaw = 48;
inline constexpr int32_t kSaveHtml = 64;
inline constexpr int32_t kScopeAllPages = 2;
inline constexpr int32_t kScopeAllToOne = 3;

class TTeletextDecoderFilter;

class TTeletextInputPin : public TBaseInputPin {
 public:
  TTeletextInputPin(TTeletextDecoderFilter* filter);
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 private:
  TTeletextDecoderFilter* Decoder_;
};

class TTeletextOutputPin : public TBaseOutputPin {
 public:
  TTeletextOutputPin(TTeletextDecoderFilter* filter);
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT GetMediaType(int position, MediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
};

class TTeletextDecoderFilter : public TBaseFilter, public ITeletextDecoder {
 public:
  TTeletextDecoderFilter();
  ~TTeletextDecoderFilter() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  int GetPinCount() override { return 2; }
  TBasePin* GetPin(int n) override;
  HRESULT Stop() override;
  HRESULT Pause() override;

  // ITeletextDecoder
  HRESULT GetPage(int32_t* page, int32_t* subpage) override;
  HRESULT PutPageDigit(int32_t digit, int32_t subpage) override;
  HRESULT NextPage(int32_t reserved) override;
  HRESULT PrevPage(int32_t reserved) override;
  HRESULT PutPage(int32_t page, int32_t subpage) override;
  HRESULT SetTransparent(int32_t on) override;
  HRESULT ShowTeletext(int32_t on) override;
  HRESULT GetShown(int32_t* on) override;
  HRESULT SavePages(int32_t flags, int32_t reserved1, int32_t reserved2, const char* fileName) override;
  HRESULT Reserved10() override { return E_NOTIMPL; }
  HRESULT Reserved11() override { return E_NOTIMPL; }
  HRESULT Reserved12() override { return E_NOTIMPL; }
  HRESULT Reserved13() override { return E_NOTIMPL; }
  HRESULT Reserved14() override { return E_NOTIMPL; }
  HRESULT Reserved15() override { return E_NOTIMPL; }

  // Streaming side (input pin).
  HRESULT OnPacket(const uint8_t* data, size_t size, std::optional<REFERENCE_TIME> start);
  TTeletextOutputPin* Output() { return output_.get(); }

 private:
  // Draws what is to be shown now (empty: nothing) under pageMutex_.
  std::vector<uint8_t> ComposeLocked();
  // Sends the current picture downstream; wait: the streaming thread may wait for a buffer,
  // the user-interface thread never does.
  void SendPicture(bool wait);
  // While running, holds a changed page until the graph's clock reaches its time (at most
  // kMaxHold); stopping, pausing and flushing end the wait at once. Streaming thread only.
  void WaitForStreamTime(REFERENCE_TIME time);
  void InterruptWait();
  HRESULT SaveCurrent(int32_t format, const std::string& name);
  HRESULT SaveAll(int32_t format, bool toOne, const std::string& name);

  std::unique_ptr<TTeletextInputPin> input_;
  std::unique_ptr<TTeletextOutputPin> output_;

  std::mutex pageMutex_;  // guards cache_, selection_, shown_, transparent_, dirty_, sentArrivals_, time_
  TTeletextPageCache cache_;
  TPageSelection selection_;
  bool shown_ = false;
  bool transparent_ = false;
  bool dirty_ = true;            // what is shown changed since the last picture went out
  uint64_t sentArrivals_ = 0;    // arrivals of the selected page when its picture went out
  std::optional<REFERENCE_TIME> time_;  // of the latest packet

  std::mutex deliverMutex_;  // guards sending downstream (one picture at a time, in order)

  std::mutex timingMutex_;  // guards reached_ and interrupts_ (the wait for the clock)
  std::condition_variable timingCv_;
  bool reached_ = false;
  uint64_t interrupts_ = 0;

  friend class TTeletextInputPin;
};

// Registers the class with the registry (never chosen by intelligent connect).
HRESULT RegisterTeletextDecoder(TClassRegistry& registry);

}  // namespace kv::teletext
