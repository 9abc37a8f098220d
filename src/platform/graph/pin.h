// Pin interfaces: IPin, IEnumPins, IEnumMediaTypes, IMemInputPin, IAsyncReader.
//
// A connection joins an output pin to an input pin. IPin::Connect on the output pin
// proposes media types (the given one, else the input pin's types and then its own, in
// enumeration order); the input pin accepts one in ReceiveConnection or refuses it. Data
// then flows by push (IMemInputPin::Receive, called on the upstream pin's streaming
// thread) or, between the file source and its demultiplexer, by pull (IAsyncReader, called
// on the demultiplexer's threads). EndOfStream, BeginFlush/EndFlush and NewSegment travel
// downstream on the same thread as the samples, so they stay in order with them (the
// flush calls come from the thread that seeks).
//
// The base classes in base_pin.h implement these; read that header for who calls what on
// which thread.
#pragma once

#include <string>

#include "platform/com/enumerator.h"
#include "platform/graph/media_sample.h"

namespace kv {

struct IBaseFilter;
struct IPin;

enum PIN_DIRECTION : int32_t { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

struct PIN_INFO {
  ComPtr<IBaseFilter> pFilter;  // the owning filter (a reference)
  PIN_DIRECTION dir = PINDIR_INPUT;
  std::string achName;
};

struct IEnumMediaTypes : IUnknown {
  static constexpr IID kIid = GuidLiteral("{89C31040-846B-11CE-97D3-00AA0055595A}");
  // Hands out new MediaType objects; free each with DeleteMediaType. S_FALSE when fewer
  // than count were left.
  virtual HRESULT Next(ULONG count, MediaType** types, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMediaTypes** out) = 0;
};

using IEnumPins = IEnumInterface<IPin, GuidLiteral("{56A86892-0AD4-11CE-B03A-0020AF0BA770}")>;

struct IPin : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A86891-0AD4-11CE-B03A-0020AF0BA770}");
  // Output pins: connect to `receiver`, with exactly `type` when given (partial types,
  // GUID_NULL fields, act as a filter on the candidates). VFW_E_ALREADY_CONNECTED,
  // VFW_E_NOT_STOPPED, VFW_E_INVALID_DIRECTION, VFW_E_NO_ACCEPTABLE_TYPES. UI thread.
  virtual HRESULT Connect(IPin* receiver, const MediaType* type) = 0;
  // Input pins: accept or refuse a connection proposed by `connector` with `type`.
  virtual HRESULT ReceiveConnection(IPin* connector, const MediaType* type) = 0;
  // Breaks this side of the connection (the graph calls it on both sides). S_FALSE when
  // not connected, VFW_E_NOT_STOPPED while the filter runs.
  virtual HRESULT Disconnect() = 0;
  // The peer (a reference), or VFW_E_NOT_CONNECTED with *pin = nullptr.
  virtual HRESULT ConnectedTo(IPin** pin) = 0;
  virtual HRESULT ConnectionMediaType(MediaType* type) = 0;  // VFW_E_NOT_CONNECTED
  virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION* dir) = 0;
  virtual HRESULT QueryId(std::string* id) = 0;
  virtual HRESULT QueryAccept(const MediaType* type) = 0;  // S_OK or S_FALSE
  virtual HRESULT EnumMediaTypes(IEnumMediaTypes** out) = 0;
  // Data-flow notifications, on the upstream streaming thread (flushes on the seeking thread).
  virtual HRESULT EndOfStream() = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
};

struct IMemInputPin : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A8689D-0AD4-11CE-B03A-0020AF0BA770}");
  virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
  virtual HRESULT NotifyAllocator(IMemAllocator* allocator, bool readOnly) = 0;
  virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) = 0;
  // Delivers one sample. S_OK: keep going; S_FALSE: stop delivering until the next
  // flush or new segment (flushing, end of stream reached); failure: stop and report.
  [[nodiscard]] virtual HRESULT Receive(IMediaSample* sample) = 0;
  virtual HRESULT ReceiveCanBlock() = 0;  // S_OK when Receive may block (renderers)
};

// Byte-addressed reads from a file source's output pin; the demultiplexer calls these on
// its own threads. Reads never hold a lock that state changes need.
struct IAsyncReader : IUnknown {
  static constexpr IID kIid = GuidLiteral("{56A868AA-0AD4-11CE-B03A-0020AF0BA770}");
  // Reads exactly length bytes at position: S_OK, S_FALSE when the file ended first (the
  // rest of the buffer is untouched and *read, when given, says how much came), an error
  // otherwise, VFW_E_WRONG_STATE while flushing.
  virtual HRESULT SyncRead(int64_t position, int32_t length, uint8_t* buffer, int32_t* read = nullptr) = 0;
  virtual HRESULT Length(int64_t* total, int64_t* available) = 0;
  // Make pending and later reads fail until EndFlush (a seek or stop is under way).
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;
};

inline constexpr IID IID_IPin = IPin::kIid;
inline constexpr IID IID_IMemInputPin = IMemInputPin::kIid;
inline constexpr IID IID_IAsyncReader = IAsyncReader::kIid;

// An IEnumMediaTypes over a fixed list (Reset re-reads `source`).
HRESULT CreateMediaTypeEnumerator(std::function<std::vector<MediaType>()> source, IEnumMediaTypes** out);

// The first media type a pin offers, or nullopt (helper for "EnumMediaTypes, Next with 1").
std::optional<MediaType> FirstMediaType(IPin* pin);

}  // namespace kv
