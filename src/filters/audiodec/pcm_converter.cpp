#include "filters/audiodec/pcm_converter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace kv::audiodec {

bool TPcmConverter::Configure(const AVFrame* frame) {
  AVChannelLayout in{};
  if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&frame->ch_layout) == 0)
    av_channel_layout_default(&in, frame->ch_layout.nb_channels);
  else
    av_channel_layout_copy(&in, &frame->ch_layout);
  const auto format = static_cast<AVSampleFormat>(frame->format);
  if (swr_ && inRate_ == frame->sample_rate && inFormat_ == format && av_channel_layout_compare(&in, &inLayout_) == 0) {
    av_channel_layout_uninit(&in);
    return true;
  }
  AVChannelLayout outLayout{};
  av_channel_layout_default(&outLayout, out_.channels);
  SwrContext* ctx = nullptr;
  int err = swr_alloc_set_opts2(&ctx, &outLayout, out_.format->sampleFormat, out_.sampleRate, &in, format,
                                frame->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&outLayout);
  ffmpeg::SwrPtr swr(ctx);
  if (err >= 0) err = swr_init(swr.get());
  if (err < 0) {
    av_channel_layout_uninit(&in);
    swr_.reset();
    return false;
  }
  swr_ = std::move(swr);
  av_channel_layout_uninit(&inLayout_);
  inLayout_ = in;
  inRate_ = frame->sample_rate;
  inFormat_ = format;
  return true;
}

int TPcmConverter::Run(const uint8_t** in, int inSamples, std::vector<uint8_t>* out) {
  const int room = swr_get_out_samples(swr_.get(), inSamples);
  if (room <= 0) return 0;
  const size_t before = out->size();
  out->resize(before + static_cast<size_t>(room) * out_.blockAlign);
  uint8_t* dst = out->data() + before;
  const int got = swr_convert(swr_.get(), &dst, room, in, inSamples);
  out->resize(before + static_cast<size_t>(std::max(got, 0)) * out_.blockAlign);
  return std::max(got, 0);
}

int TPcmConverter::Convert(const AVFrame* frame, std::vector<uint8_t>* out) {
  if (!out_.format || frame->nb_samples <= 0) return 0;
  if (!Configure(frame)) return -1;
  return Run(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples, out);
}

int TPcmConverter::Drain(std::vector<uint8_t>* out) {
  if (!swr_) return 0;
  return Run(nullptr, 0, out);
}

}  // namespace kv::audiodec
