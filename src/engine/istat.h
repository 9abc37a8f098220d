// IStatistics: the interface of the statistics filter, as the engine and the analyzer use it.
//
// The statistics filter is a pass-through filter (one input, one output pin) that counts the
// samples and bytes flowing through it. The engine puts up to three instances into a graph
// (compressed video, decoded picture, compressed audio) and reads running totals from them;
// the analyzer receives one record per sample through the callbacks.
//
// Threads: ResetStat, GetTotalStat, GetCurrentStat and the Set*Callback calls come from the
// user-interface thread; the callbacks are called on the filter's streaming thread. The
// records below cross that boundary by pointer and are only valid during the call.
// Layouts are fixed (little-endian, offsets checked below) because plug-in modules and the
// analyzer read them by offset.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/com/unknown.h"

namespace kv {

// Running totals. Offset 0 holds the counter's reference time (the stream time of the
// first counted sample); the engine reads Duration, Bytes and Samples only.
struct TStatCounters {
  int64_t Start = 0;     // offset 0
  int64_t Duration = 0;  // offset 8, 100-nanosecond units
  int64_t Bytes = 0;     // offset 16
  int64_t Samples = 0;   // offset 24
};
static_assert(sizeof(TStatCounters) == 32);
static_assert(offsetof(TStatCounters, Duration) == 8 && offsetof(TStatCounters, Samples) == 24);

// One sample that passed the filter.
struct TSampleRecord {
  uint32_t Size = sizeof(TSampleRecord);  // offset 0: 56
  int32_t FrameIndex = 0;                 // 4, counted by the filter from 0
  int64_t StartTime = 0;                  // 8
  int64_t StopTime = 0;                   // 16
  int64_t TimestampIn = 0;                // 24
  int64_t TimestampOut = 0;               // 32
  int64_t Bytes = 0;                      // 40
  uint8_t IsDiscontinuity = 0;            // 48
  uint8_t IsSyncPoint = 0;                // 49
  uint8_t IsPreroll = 0;                  // 50
  uint8_t Padding[5] = {};                // 51..55
};
static_assert(sizeof(TSampleRecord) == 56);
static_assert(offsetof(TSampleRecord, StartTime) == 8 && offsetof(TSampleRecord, Bytes) == 40 &&
              offsetof(TSampleRecord, IsDiscontinuity) == 48 && offsetof(TSampleRecord, IsPreroll) == 50);

// Picture measures of one decoded frame, in thousandths.
struct TImageRecord {
  uint32_t Size = sizeof(TImageRecord);  // offset 0: 32
  int32_t FrameIndex = 0;                // 4
  int32_t HistogramAverage = 0;          // 8
  int32_t HistogramMax = 0;              // 12
  int32_t HistogramMin = 0;              // 16
  int32_t DCTAverage = 0;                // 20
  int32_t DCTMax = 0;                    // 24
  int32_t DCTMin = 0;                    // 28
};
static_assert(sizeof(TImageRecord) == 32);
static_assert(offsetof(TImageRecord, DCTMin) == 28);

// The callback receives a pointer to a record whose first 32-bit field is its size; the
// program returns 0. Called on the streaming thread.
using TStatCallback = int32_t (*)(const void* record);

struct IStatistics : IUnknown {
  static constexpr IID kIid = GuidLiteral("{0FB68B4B-6226-4D4E-98BD-AFB9F1E7B19D}");
  virtual HRESULT ResetStat() = 0;                                // slot 1
  virtual HRESULT GetTotalStat(TStatCounters* counters) = 0;      // slot 2: since the last reset
  virtual HRESULT GetCurrentStat(TStatCounters* counters) = 0;    // slot 3: the recent window
  virtual HRESULT GetFrameCount(int32_t* frames) = 0;             // slot 4, not called by the program
  virtual HRESULT SetSampleCallback(TStatCallback callback) = 0;  // slot 5; nullptr stops the calls
  virtual HRESULT SetImageCallback(TStatCallback callback) = 0;   // slot 6
  virtual HRESULT GetSampleCallback(TStatCallback* callback) = 0;  // slot 7, not called by the program
  virtual HRESULT GetImageCallback(TStatCallback* callback) = 0;   // slot 8, not called by the program
};

inline constexpr IID IID_IStatistics = IStatistics::kIid;

}  // namespace kv
