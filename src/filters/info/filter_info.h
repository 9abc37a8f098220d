// What the built-in filters tell their property pages: one small read interface per kind of
// filter (and the one setting a page may change), plus the class identifiers of the pages.
//
// The filters are Qt-free: they answer ISpecifyPropertyPages with the page identifiers
// below and these interfaces with plain records. The pages themselves are Qt widgets
// registered by the program (src/proppages); a process that registers no pages (the
// command-line tools) still reads the records.
// Threads: every Get* may be called on any thread while the filter streams; each filter
// copies its record under a lock of its own (or from atomics) and never blocks streaming.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/unknown.h"

namespace kv {

// ---- page classes (registered by the program's page library) ----
inline constexpr CLSID CLSID_VideoDecoderPage = GuidLiteral("{5E0C3B61-7A3D-4F0C-9B1E-2D4A6C8E0F11}");
inline constexpr CLSID CLSID_AudioDecoderPage = GuidLiteral("{5E0C3B62-7A3D-4F0C-9B1E-2D4A6C8E0F12}");
inline constexpr CLSID CLSID_DemuxPage = GuidLiteral("{5E0C3B63-7A3D-4F0C-9B1E-2D4A6C8E0F13}");
inline constexpr CLSID CLSID_AudioRendererPage = GuidLiteral("{5E0C3B64-7A3D-4F0C-9B1E-2D4A6C8E0F14}");
inline constexpr CLSID CLSID_VideoRendererPage = GuidLiteral("{5E0C3B65-7A3D-4F0C-9B1E-2D4A6C8E0F15}");

// ---- video decoder ----
struct TVideoDecoderInfo {
  std::string Codec;         // libavcodec's decoder name and long name, empty before a connection
  int32_t Width = 0, Height = 0;
  int32_t ThreadsInUse = 0;  // what libavcodec runs with (0 before a connection)
  int32_t ThreadSetting = 0; // what the next connection asks for; 0 = one per core
  std::string OutputFormat;  // the picture layout chosen downstream ("YV12", ...)
  int64_t FramesDecoded = 0; // pictures out of the decoder since the connection
  int64_t FramesDropped = 0; // decoded but not delivered (before a seek target, unconvertible)
};

struct IVideoDecoderInfo : IUnknown {
  static constexpr IID kIid = GuidLiteral("{5E0C3B70-7A3D-4F0C-9B1E-2D4A6C8E0F20}");
  virtual HRESULT GetVideoDecoderInfo(TVideoDecoderInfo* info) = 0;
  // Decoding threads for the decoders connected from now on (0 = one per core, at most
  // 16); E_INVALIDARG outside 0..16. The running decoder keeps its threads.
  virtual HRESULT SetThreadSetting(int32_t threads) = 0;
};

// ---- audio decoder ----
struct TAudioDecoderInfo {
  std::string Codec;           // decoder name and long name
  int32_t InputRate = 0, InputChannels = 0;
  int64_t InputBitrate = 0;    // bits per second, 0 when unknown
  std::string OutputFormat;    // "PCM 16-bit" or "PCM 32-bit float"
  int32_t OutputRate = 0, OutputChannels = 0;
  int64_t FramesDecoded = 0;
};

struct IAudioDecoderInfo : IUnknown {
  static constexpr IID kIid = GuidLiteral("{5E0C3B71-7A3D-4F0C-9B1E-2D4A6C8E0F21}");
  virtual HRESULT GetAudioDecoderInfo(TAudioDecoderInfo* info) = 0;
};

// ---- demultiplexer ----
struct TDemuxStreamInfo {
  int32_t Index = 0;
  std::string Kind;      // "Video", "Audio", "Subtitle", "Data"
  std::string Codec;     // codec name
  std::string Language;  // the container's language tag, empty when none
  int64_t Bitrate = 0;   // bits per second, 0 when unknown
  std::string PinName;   // the output pin, empty when the stream has none
};

struct TDemuxInfo {
  std::string Container;  // format name and long name, empty before a file is open
  int64_t Duration = 0;   // 100 ns units, 0 when unknown
  int64_t Bitrate = 0;    // whole file, bits per second
  std::vector<TDemuxStreamInfo> Streams;
};

struct IDemuxInfo : IUnknown {
  static constexpr IID kIid = GuidLiteral("{5E0C3B72-7A3D-4F0C-9B1E-2D4A6C8E0F22}");
  virtual HRESULT GetDemuxInfo(TDemuxInfo* info) = 0;
};

// ---- audio renderer ----
struct TAudioRendererInfo {
  std::string Sink;          // the sound server's sink name ("default" when following it)
  bool Connected = false;    // a sound server answered; false: samples are discarded
  std::string Format;        // "48000 Hz, 2 channels, 16-bit", empty before the first sample
  int64_t LatencyUs = 0;     // what the server reports for the stream
  int64_t BufferedBytes = 0; // written and not yet heard
  int32_t Volume = 0;        // hundredths of a decibel, -10000 .. 0
  bool Muted = false;
};

struct IAudioRendererInfo : IUnknown {
  static constexpr IID kIid = GuidLiteral("{5E0C3B73-7A3D-4F0C-9B1E-2D4A6C8E0F23}");
  virtual HRESULT GetAudioRendererInfo(TAudioRendererInfo* info) = 0;
};

// ---- video renderers ----
struct TVideoRendererInfo {
  int32_t Width = 0, Height = 0;  // the picture coming in
  std::string InputFormat;        // its layout
  std::string Presenter;          // how pictures reach the screen
  int64_t FramesDrawn = 0;
  int64_t FramesDropped = 0;
  int64_t FramesLate = 0;         // drawn, but later than the lateness threshold
  int64_t AverageLatenessUs = 0;  // over every frame drawn on the clock
};

struct IVideoRendererInfo : IUnknown {
  static constexpr IID kIid = GuidLiteral("{5E0C3B74-7A3D-4F0C-9B1E-2D4A6C8E0F24}");
  virtual HRESULT GetVideoRendererInfo(TVideoRendererInfo* info) = 0;
};

}  // namespace kv
