// TFormatReader: libavformat over a read-at-offset byte source.
//
// The demultiplexer filters pull their file through the source filter's pin; this class turns
// that pull interface into a seekable custom AVIOContext and owns the AVFormatContext opened
// on it. It knows nothing of pins or media types.
//
// Ownership: the reader owns the format and I/O contexts; the byte source is borrowed and must
// outlive the reader (the demultiplexer owns both).
// Threads: not thread-safe. The demultiplexer calls Open on the thread that connects its input
// and everything else on its reading thread, or under its own lock while that thread is
// stopped. Abort() alone may be called from any thread: it makes a pending read fail fast.
#pragma once

#include "filters/ffmpeg/av_handles.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace kv::ffmpeg {

// The random-access byte stream a reader pulls from.
class IByteSource {
 public:
  virtual ~IByteSource() = default;
  // Copies up to size bytes from offset into dst. Returns the number of bytes copied (0 at or
  // past the end), or -1 on a read error. Called on the reader's thread.
  virtual int64_t ReadAt(int64_t offset, uint8_t* dst, int32_t size) = 0;
  // Total length in bytes, or -1 when unknown.
  virtual int64_t Size() = 0;
};

class TFormatReader {
 public:
  TFormatReader() = default;
  ~TFormatReader();
  TFormatReader(const TFormatReader&) = delete;
  TFormatReader& operator=(const TFormatReader&) = delete;

  // Opens the container. formatName is a libavformat short name ("avi", "matroska", ...) that
  // forces the input format; an empty name lets libavformat probe. Reads the stream headers
  // (and probes stream parameters). On failure returns false, sets *error and leaves the
  // reader closed. The source must stay valid until Close or destruction.
  bool Open(IByteSource& source, const std::string& formatName, std::string* error);
  void Close();
  bool IsOpen() const { return format_ != nullptr; }
  // Opens the same source with the same format again: the exact state of the first Open,
  // which no seek to the start reproduces in every container (a seek may skip blocks that
  // precede the first key frame). False (and closed) when the container no longer opens or
  // now has a different number of streams.
  bool Reopen(std::string* error);

  AVFormatContext* Context() const { return format_.get(); }
  int StreamCount() const { return format_ ? static_cast<int>(format_->nb_streams) : 0; }
  const AVStream* Stream(int index) const { return format_->streams[index]; }

  // Reads the next packet of any stream into pkt (unreferenced first). Returns 0, AVERROR_EOF
  // at the end, or another negative error. After an error the caller ends the streams.
  int ReadPacket(AVPacket* pkt);

  // Positions the reader so that the next packets start at a key frame at or before time
  // (100 ns units from the start of the presentation), by the index of `stream` when it is
  // not -1 (the stream whose key frames matter). Returns false if the container cannot
  // seek there; the position is then unspecified and the caller restarts or ends.
  bool SeekTo(int64_t time, int stream = -1);

  // Presentation length in 100 ns units, or 0 when the container does not say.
  int64_t Duration() const;
  // The container's first presentation time in 100 ns units (0 when unknown); sample times
  // are reported relative to it so that every file starts at 0.
  int64_t StartTime() const;
  // Converts a stream timestamp to graph time relative to StartTime(); AV_NOPTS_VALUE stays.
  int64_t ToGraphTime(int streamIndex, int64_t ts) const;
  int64_t DurationToGraph(int streamIndex, int64_t duration) const;

  // Makes every pending and future read fail until Abort(false). Any thread.
  void Abort(bool aborting) { aborting_.store(aborting); }

 private:
  static int ReadCallback(void* opaque, uint8_t* buf, int size);
  static int64_t SeekCallback(void* opaque, int64_t offset, int whence);
  static int InterruptCallback(void* opaque);

  IByteSource* source_ = nullptr;
  std::string formatName_;
  int64_t position_ = 0;  // next byte the AVIOContext will read
  std::atomic<bool> aborting_{false};
  IoContextPtr io_;
  FormatContextPtr format_;
};

}  // namespace kv::ffmpeg
