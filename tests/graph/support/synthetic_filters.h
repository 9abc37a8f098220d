// Synthetic filters for the graph tests and benchmarks: a generator source with N output
// pins, a transform that can refuse a subtype (in place or converting), and a counting
// renderer. Every sample carries its media position (int64, little-endian) in its first
// eight bytes, so a test can tell exactly which part of the stream arrived where.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/graph/renderer_base.h"
#include "platform/graph/source_stream.h"
#include "platform/graph/transform_filter.h"

namespace kv::testing {

inline constexpr CLSID CLSID_TestGenerator = GuidLiteral("{72ECC743-3A26-427E-8E13-5177CA8E3D27}");
inline constexpr CLSID CLSID_TestTransform = GuidLiteral("{974FB4A7-88E0-406A-9A3D-CA4503DE26D8}");
inline constexpr CLSID CLSID_TestRenderer = GuidLiteral("{B4CF445D-7343-4690-8DAD-124E11A438E6}");

MediaType TestVideoType(const GUID& subtype);  // VIDEOINFOHEADER 64x48
MediaType TestAudioType();                     // PCM 48000 Hz stereo 16-bit

class TGeneratorSource : public TBaseFilter, public TSourceSeeking {
 public:
  // One output pin per type, named "Out0", "Out1", ...; samples every frameDuration.
  TGeneratorSource(std::vector<MediaType> pinTypes, REFERENCE_TIME duration, REFERENCE_TIME frameDuration,
                   int32_t sampleBytes = 64);
  ~TGeneratorSource() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  int GetPinCount() override;
  TBasePin* GetPin(int n) override;
  HRESULT OnSeek(REFERENCE_TIME start, REFERENCE_TIME stop, double rate, bool keyFrame) override;

  int64_t SamplesProduced() const { return produced_.load(); }
  int Seeks() const { return seeks_.load(); }
  static std::atomic<int> liveInstances;

 private:
  class Pin;
  std::vector<std::unique_ptr<Pin>> pins_;
  REFERENCE_TIME frame_;
  int32_t bytes_;
  std::atomic<int64_t> produced_{0};
  std::atomic<int> seeks_{0};
};

class TTestTransform : public TTransformFilter {
 public:
  // InPlace passes the input type; Copy turns inputSubtype into outputSubtype.
  TTestTransform(TTransformMode mode, GUID inputSubtype = GUID_NULL, GUID outputSubtype = GUID_NULL);
  ~TTestTransform() override;

  void RefuseSubtype(const GUID& subtype) { refused_ = subtype; }

  HRESULT CheckInputType(const MediaType& type) override;
  HRESULT CheckTransform(const MediaType& in, const MediaType& out) override;
  HRESULT GetOutputType(int position, MediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT TransformInPlace(IMediaSample* sample) override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  int64_t Samples() const { return samples_.load(); }
  int BeginFlushes() const { return beginFlushes_.load(); }
  int EndFlushes() const { return endFlushes_.load(); }
  static std::atomic<int> liveInstances;

 private:
  GUID inputSubtype_, outputSubtype_;
  GUID refused_ = GUID_NULL;
  std::atomic<int64_t> samples_{0};
  std::atomic<int> beginFlushes_{0}, endFlushes_{0};
};

class TCountingRenderer : public TBaseRenderer {
 public:
  explicit TCountingRenderer(GUID majorType = GUID_NULL, bool dropsLate = false);
  ~TCountingRenderer() override;

  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  void OnReceiveFirstSample(IMediaSample* sample) override;
  bool DropsLateSamples() const override { return dropsLate_; }
  void OnBeginFlush() override;
  void OnEndFlush() override;
  void OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  struct Rendered {
    int64_t position;      // payload: media position
    REFERENCE_TIME start;  // sample time
    int segment;           // how many new segments had arrived before it
    REFERENCE_TIME segmentStart;  // the start of the segment in force
  };
  std::vector<Rendered> RenderedSamples();
  int64_t Count();
  int Prerolls();
  int Flushes();
  int Segments();
  double LastSegmentRate();
  REFERENCE_TIME LastSegmentStart();
  // Waits until at least n samples were rendered (no time-out: the test's ctest time-out
  // catches a hang).
  void WaitForCount(int64_t n);
  static std::atomic<int> liveInstances;

 private:
  GUID major_;
  bool dropsLate_;
  std::mutex mutex_;  // guards everything below
  std::condition_variable changed_;
  std::vector<Rendered> rendered_;
  int prerolls_ = 0, flushes_ = 0, segments_ = 0;
  double lastRate_ = 1.0;
  REFERENCE_TIME lastSegmentStart_ = 0;
};

// Registers the three test classes (generator without inputs, transform YUY2 -> RGB32 and
// in-place variants, renderer) under the given merits; returns their CLSIDs' registrations.
void RegisterTestTransform(const CLSID& clsid, const std::string& name, uint32_t merit, TTransformMode mode,
                           GUID in, GUID out);
void RegisterTestRenderer(const CLSID& clsid, const std::string& name, uint32_t merit, GUID major, GUID subtype);

}  // namespace kv::testing
