// TDemuxFilter: the libavformat demultiplexer, registered once per container family.
//
// What it is: a splitter whose input pin pulls the file from "File Source (Async.)"
// (IAsyncReader) or, for the ASF reader, a source that opens the file itself
// (IFileSourceFilter). When the input is connected (or the file loaded) it opens the
// container with the family's forced input format and creates one output pin per stream it
// can describe, in the file's stream order. A connection or load that libavformat refuses
// fails, so the engine tries the next container descriptor.
//
// Ownership: the filter owns the byte source, the format reader, the output pins and the
// reader thread. Pins that a disconnect retires stay alive until the filter is destroyed,
// because the engine may still hold references to them.
//
// Threads:
//   - user-interface thread: connection, Load, Pause/Run/Stop, SetPositions (OnSeek).
//   - the reader thread (one, started on Pause from Stopped and after a seek, joined on
//     Stop and before a seek): reads packets and queues them on the output pins.
//   - each output pin's own streaming thread delivers its queue downstream.
// With synchronous delivery (ISynchronousDelivery, one connected output) the reader thread
// delivers downstream itself and the pin starts no thread.
// Locks: controlMutex_ serialises starting, stopping and moving the reader (Pause, Stop,
// OnSeek, SetSynchronousDelivery); it is taken before the base filter's state lock and never by the reader thread.
// The format reader is used by the reader thread while it runs and under controlMutex_
// while it does not. infoMutex_ guards the record the property page reads (filled when the
// container opens, emptied when it closes); it is a leaf lock.
#pragma once

#include "filters/info/filter_info.h"
#include "platform/graph/property_page.h"
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "filters/demux/container_families.h"
#include "filters/demux/demux_output_pin.h"
#include "filters/ffmpeg/format_reader.h"
#include "platform/graph/source_stream.h"

namespace kv::demux {

class TDemuxFilter;

// The input pin of a splitter: accepts a byte stream and opens the container on connect.
class TDemuxInputPin final : public TBaseInputPin {
 public:
  explicit TDemuxInputPin(TDemuxFilter* filter);
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  // Data is pulled, never pushed.
  HRESULT Receive(IMediaSample*) override { return E_UNEXPECTED; }

 private:
  TDemuxFilter* demux_;
};

class TDemuxFilter final : public TBaseFilter,
                           public TSourceSeeking,
                           public IFileSourceFilter,
                           public ISpecifyPropertyPages,
                           public IDemuxInfo,
                           public ISynchronousDelivery {
 public:
  explicit TDemuxFilter(const TContainerFamily& family);
  ~TDemuxFilter() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  int GetPinCount() override;
  TBasePin* GetPin(int n) override;

  HRESULT Stop() override;
  HRESULT Pause() override;

  // TSourceSeeking: one seek for all streams. The reader starts at a key frame of the
  // picture. An exact seek begins its segment at `start` (pictures before it are decoded,
  // not shown). A key-frame seek begins its segment at the key frame, so the position reads
  // the key frame's time and the sound starts there too; which key frame:
  //   - the one at or before `start`;
  //   - except for a seek forward (`start` after the origin the graph gave, ISeekOrigin)
  //     whose key frame at or before `start` is not after the origin: then the first key
  //     frame after `start`, if there is one (a step forward in a clip with long key-frame
  //     intervals would otherwise never move).
  // Without a picture stream the segment begins at `start` whatever the flag.
  HRESULT OnSeek(REFERENCE_TIME start, REFERENCE_TIME stop, double rate, bool keyFrame) override;

  // IFileSourceFilter (the self-demultiplexing source only; E_NOINTERFACE otherwise).
  HRESULT Load(const std::string& fileName, const MediaType* type) override;
  HRESULT GetCurFile(std::string* fileName, MediaType* type) override;

  // Opens the container on `source` and creates the output pins. UI thread, stopped.
  HRESULT OpenContainer(std::unique_ptr<ffmpeg::IByteSource> source);
  // Closes it and retires the output pins. UI thread, stopped.
  void CloseContainer();

  const TContainerFamily& Family() const { return family_; }

  // ISpecifyPropertyPages, IDemuxInfo (any thread).
  HRESULT GetPages(std::vector<CLSID>* pages) override;
  HRESULT GetDemuxInfo(TDemuxInfo* info) override;

  // ISynchronousDelivery: with exactly one connected output, the reader thread delivers its
  // samples itself (no pin thread); otherwise (several streams could starve each other
  // behind one blocked delivery) the pins keep their threads. Applies from the next Pause.
  HRESULT SetSynchronousDelivery(bool on) override;

 private:
  // Positions the reader for `start` (see OnSeek), begins the pins' segments and starts the
  // reader thread; `restartPins`: after a flush, the pins restart with the new segment.
  void StartReaderLocked(REFERENCE_TIME start, REFERENCE_TIME stop, double rate, bool queueSegment,
                         bool restartPins);
  void StopReaderLocked();
  // Moves the reader to the key frame a seek to `target` starts from (see OnSeek; `keyFrame`
  // applies the forward rule) and returns its time (`target` without video).
  REFERENCE_TIME SeekLocked(REFERENCE_TIME target, int videoStream, bool keyFrame);
  // Moves the reader so that `videoStream` (or, without video, every stream) starts at a
  // key frame at or before `target`; returns that key frame's time (target without video).
  REFERENCE_TIME KeyFrameAtOrBeforeLocked(REFERENCE_TIME target, int videoStream);
  // The time of the first key frame of `videoStream` after `target` (AV_NOPTS_VALUE: none);
  // leaves the reader anywhere.
  REFERENCE_TIME KeyFrameAfterLocked(REFERENCE_TIME target, int videoStream);
  // The first connected picture stream, -1 without.
  int FirstVideoStream() const;
  // Reads ahead to the first key frame of `stream`; its graph time or AV_NOPTS_VALUE.
  REFERENCE_TIME FirstKeyFrameTime(int stream);
  void ReaderMain();
  void EndAllStreams();
  bool AllStreamsEnded() const;
  // The queue hooks of every pin: a full queue may grow while another steady stream of
  // the reader has an empty queue and has not ended (asked on the reader thread: it alone
  // sets the pins' ended flags, and pinForStream_ changes only while it is stopped); a pin
  // whose queue ran dry wakes the reader wherever it waits (on that pin's thread).
  bool AnotherStreamRunsDry(const TDemuxOutputPin* full) const;
  void WakeReaderExceptFor(const TDemuxOutputPin* dry);
  std::vector<TDemuxOutputPin*> ConnectedOutputs() const;

  const TContainerFamily family_;
  std::unique_ptr<TDemuxInputPin> input_;  // null for a source
  std::vector<std::unique_ptr<TDemuxOutputPin>> outputs_;
  std::vector<std::unique_ptr<TDemuxOutputPin>> retired_;
  std::vector<TDemuxOutputPin*> pinForStream_;  // by stream index; null: no pin or unconnected
  std::string fileName_;                        // source mode: the loaded file

  std::mutex controlMutex_;  // serialises reader start/stop/seek; see the top of this file
  std::unique_ptr<ffmpeg::IByteSource> bytes_;
  ffmpeg::TFormatReader reader_;
  std::thread readerThread_;
  std::atomic<bool> stopReader_{false};
  bool atStart_ = true;      // the reader has not moved since the container was opened
  bool exactSeek_ = false;   // the last seek asked for the exact position (not a key frame)
  bool synchronous_ = false; // SetSynchronousDelivery's choice (under controlMutex_)

  std::mutex infoMutex_;  // guards info_; see the top of this file
  TDemuxInfo info_;
};

// Registers every container family's class with the class registry.
HRESULT RegisterDemultiplexers();

}  // namespace kv::demux
