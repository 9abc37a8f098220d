#include "filters/ffmpeg/format_reader.h"

#include <limits>

namespace kv::ffmpeg {

namespace {
// libavformat reads in blocks of this size; large enough to keep the pin calls few.
constexpr int kIoBufferSize = 64 * 1024;
// Bounds on header probing so that a hostile file cannot make opening read the whole disk.
constexpr int64_t kProbeSize = 8 * 1024 * 1024;
constexpr int64_t kAnalyzeDuration = 5 * AV_TIME_BASE;
}  // namespace

TFormatReader::~TFormatReader() { Close(); }

void TFormatReader::Close() {
  format_.reset();  // closes the input; the custom I/O context is ours to free afterwards
  io_.reset();
  source_ = nullptr;
  position_ = 0;
}

int TFormatReader::ReadCallback(void* opaque, uint8_t* buf, int size) {
  auto* self = static_cast<TFormatReader*>(opaque);
  if (self->aborting_.load()) return AVERROR_EXIT;
  const int64_t got = self->source_->ReadAt(self->position_, buf, size);
  if (got < 0) return AVERROR(EIO);
  if (got == 0) return AVERROR_EOF;
  self->position_ += got;
  return static_cast<int>(got);
}

int64_t TFormatReader::SeekCallback(void* opaque, int64_t offset, int whence) {
  auto* self = static_cast<TFormatReader*>(opaque);
  const int64_t size = self->source_->Size();
  switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
      return size >= 0 ? size : AVERROR(ENOSYS);
    case SEEK_SET:
      break;
    case SEEK_CUR:
      offset += self->position_;
      break;
    case SEEK_END:
      if (size < 0) return AVERROR(ENOSYS);
      offset += size;
      break;
    default:
      return AVERROR(EINVAL);
  }
  if (offset < 0) return AVERROR(EINVAL);
  self->position_ = offset;
  return offset;
}

int TFormatReader::InterruptCallback(void* opaque) {
  return static_cast<TFormatReader*>(opaque)->aborting_.load() ? 1 : 0;
}

bool TFormatReader::Reopen(std::string* error) {
  if (!source_) {
    if (error) *error = "nothing to reopen";
    return false;
  }
  IByteSource* source = source_;
  const std::string formatName = formatName_;
  const int streams = StreamCount();
  if (!Open(*source, formatName, error)) return false;
  if (StreamCount() != streams) {
    if (error) *error = "the file changed: stream count differs";
    Close();
    return false;
  }
  return true;
}

bool TFormatReader::Open(IByteSource& source, const std::string& formatName, std::string* error) {
  Close();
  source_ = &source;
  formatName_ = formatName;
  position_ = 0;

  const AVInputFormat* forced = nullptr;
  if (!formatName.empty()) {
    forced = av_find_input_format(formatName.c_str());
    if (!forced) {
      if (error) *error = "libavformat has no input format \"" + formatName + "\"";
      Close();
      return false;
    }
  }

  auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
  if (!buffer) {
    if (error) *error = "out of memory";
    Close();
    return false;
  }
  io_.reset(avio_alloc_context(buffer, kIoBufferSize, 0, this, &ReadCallback, nullptr, &SeekCallback));
  if (!io_) {
    av_free(buffer);
    if (error) *error = "out of memory";
    Close();
    return false;
  }
  io_->seekable = source.Size() >= 0 ? AVIO_SEEKABLE_NORMAL : 0;

  AVFormatContext* ctx = avformat_alloc_context();
  if (!ctx) {
    if (error) *error = "out of memory";
    Close();
    return false;
  }
  ctx->pb = io_.get();
  ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
  ctx->probesize = kProbeSize;
  ctx->max_analyze_duration = kAnalyzeDuration;
  ctx->interrupt_callback.callback = &InterruptCallback;
  ctx->interrupt_callback.opaque = this;

  // avformat_open_input frees ctx itself on failure.
  int err = avformat_open_input(&ctx, nullptr, forced, nullptr);
  if (err < 0) {
    if (error) *error = "cannot open container: " + ErrorText(err);
    Close();
    return false;
  }
  format_.reset(ctx);
  err = avformat_find_stream_info(ctx, nullptr);
  if (err < 0) {
    if (error) *error = "cannot read stream parameters: " + ErrorText(err);
    Close();
    return false;
  }
  if (ctx->nb_streams == 0) {
    if (error) *error = "the file holds no streams";
    Close();
    return false;
  }
  return true;
}

int TFormatReader::ReadPacket(AVPacket* pkt) {
  if (!format_) return AVERROR(EINVAL);
  av_packet_unref(pkt);
  return av_read_frame(format_.get(), pkt);
}

int64_t TFormatReader::StartTime() const {
  if (!format_ || format_->start_time == AV_NOPTS_VALUE) return 0;
  return av_rescale_q(format_->start_time, AVRational{1, AV_TIME_BASE}, kGraphTimeBase);
}

int64_t TFormatReader::Duration() const {
  if (!format_ || format_->duration == AV_NOPTS_VALUE || format_->duration <= 0) return 0;
  return av_rescale_q(format_->duration, AVRational{1, AV_TIME_BASE}, kGraphTimeBase);
}

int64_t TFormatReader::ToGraphTime(int streamIndex, int64_t ts) const {
  if (ts == AV_NOPTS_VALUE) return AV_NOPTS_VALUE;
  const AVStream* st = format_->streams[streamIndex];
  return av_rescale_q(ts, st->time_base, kGraphTimeBase) - StartTime();
}

int64_t TFormatReader::DurationToGraph(int streamIndex, int64_t duration) const {
  if (duration <= 0) return 0;
  return av_rescale_q(duration, format_->streams[streamIndex]->time_base, kGraphTimeBase);
}

bool TFormatReader::SeekTo(int64_t time, int stream) {
  if (!format_) return false;
  if (time < 0) time = 0;
  int64_t target = av_rescale_q(time, kGraphTimeBase, AVRational{1, AV_TIME_BASE});
  if (format_->start_time != AV_NOPTS_VALUE) target += format_->start_time;
  if (stream >= 0 && stream < static_cast<int>(format_->nb_streams)) {
    // That stream's own index: the key frame at or before the target.
    const AVStream* st = format_->streams[stream];
    const int64_t ts = av_rescale_q(target, AVRational{1, AV_TIME_BASE}, st->time_base);
    if (av_seek_frame(format_.get(), stream, ts, AVSEEK_FLAG_BACKWARD) >= 0) return true;
  }
  // Any key frame at or before the target; never one after it.
  int err = avformat_seek_file(format_.get(), -1, std::numeric_limits<int64_t>::min(), target, target, 0);
  if (err < 0) {
    // Some containers only seek by bytes or only backwards from an exact index entry.
    err = av_seek_frame(format_.get(), -1, target, AVSEEK_FLAG_BACKWARD);
  }
  return err >= 0;
}

}  // namespace kv::ffmpeg
