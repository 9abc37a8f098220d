// The built-in FFmpeg filter module: file source, demultiplexers, decoders.
//
// The program calls RegisterFfmpegFilters once at start, before any graph is built; it
// registers every class of the module with the process's class registry:
//   "File Source (Async.)"           {E436EBB5-524F-11CE-9F53-0020AF0BA770}
//   "Kavello AVI Splitter"           {94E972D9-913E-45DA-8B4B-56B279CCCB3E}
//   "Kavello MPEG Splitter"          {6965B61C-D815-46F9-AA33-BAED5EAD87EE}  MPEG-1 system, MPEG-2 program
//   "Kavello MPEG Audio Splitter"    {2F940028-9F0C-4381-BD23-2D4BEF63AA25}
//   "Kavello Matroska Splitter"      {E44ACB32-7022-4882-87D4-EC4E0CD97D2A}  Matroska, WebM
//   "Kavello Ogg Splitter"           {E0DBB914-B9CF-4094-AEFF-3FF0C5A60793}
//   "Kavello WAV Splitter"           {8CBB38D9-5DAC-44B2-9AB1-E70035D72C98}
//   "Kavello MP4 Splitter"           {900DB51D-D151-4B5C-B27C-C9E02A5F3B83}  MP4, MOV
//   "Kavello MPEG-TS Splitter"       {3D82695E-4590-478C-9FA3-DC6F0BFAB7AC}
//   "Kavello ASF Reader"             {0E0EA728-5310-482C-B16D-FDE4C80A2BDE}  source and splitter in one
//   "Kavello Video Decoder"          {B09407A6-CF2C-4252-8ACD-D89564BEE830}
//   "Kavello Audio Decoder"          {D31F000E-523A-4EC7-B5BC-EE263BFABC84}
// Any thread; registering twice replaces the earlier registrations.
#pragma once

#include "platform/com/hresult.h"

namespace kv::filters {

HRESULT RegisterFfmpegFilters();

}  // namespace kv::filters
