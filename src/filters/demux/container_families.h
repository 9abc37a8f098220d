// The container families the demultiplexer is registered for.
//
// One row per family: the class identifier and friendly name the descriptor files name,
// the libavformat input format it forces, and whether it is a source that reads the file
// itself (the ASF reader) or a splitter behind "File Source (Async.)". Pure data.
#pragma once

#include <span>

#include "platform/com/guid.h"

namespace kv::demux {

struct TContainerFamily {
  CLSID clsid;
  const char* friendlyName;
  const char* inputFormat;  // libavformat short name
  bool isSource;            // reads the file itself (IFileSourceFilter), no input pin
};

inline constexpr CLSID CLSID_KavelloAviSplitter = GuidLiteral("{94E972D9-913E-45DA-8B4B-56B279CCCB3E}");
inline constexpr CLSID CLSID_KavelloMpegSplitter = GuidLiteral("{6965B61C-D815-46F9-AA33-BAED5EAD87EE}");
inline constexpr CLSID CLSID_KavelloMpegAudioSplitter = GuidLiteral("{2F940028-9F0C-4381-BD23-2D4BEF63AA25}");
inline constexpr CLSID CLSID_KavelloMatroskaSplitter = GuidLiteral("{E44ACB32-7022-4882-87D4-EC4E0CD97D2A}");
inline constexpr CLSID CLSID_KavelloOggSplitter = GuidLiteral("{E0DBB914-B9CF-4094-AEFF-3FF0C5A60793}");
inline constexpr CLSID CLSID_KavelloWavSplitter = GuidLiteral("{8CBB38D9-5DAC-44B2-9AB1-E70035D72C98}");
inline constexpr CLSID CLSID_KavelloMp4Splitter = GuidLiteral("{900DB51D-D151-4B5C-B27C-C9E02A5F3B83}");
inline constexpr CLSID CLSID_KavelloMpegTsSplitter = GuidLiteral("{3D82695E-4590-478C-9FA3-DC6F0BFAB7AC}");
inline constexpr CLSID CLSID_KavelloAsfReader = GuidLiteral("{0E0EA728-5310-482C-B16D-FDE4C80A2BDE}");

std::span<const TContainerFamily> ContainerFamilies();
const TContainerFamily* FindContainerFamily(const CLSID& clsid);

}  // namespace kv::demux
