#include "platform/graph/transform_filter.h"

namespace kv {

TTransformInputPin::TTransformInputPin(TTransformFilter* filter, std::string name)
    : TBaseInputPin(filter, std::move(name)), transform_(filter) {}

HRESULT TTransformInputPin::CheckMediaType(const MediaType& type) { return transform_->CheckInputType(type); }

HRESULT TTransformInputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return transform_->ReceiveSample(sample);
}

HRESULT TTransformInputPin::EndOfStream() {
  HRESULT hr = TBaseInputPin::EndOfStream();
  if (hr != S_OK) return hr;
  return transform_->EndOfStream();
}

HRESULT TTransformInputPin::BeginFlush() {
  TBaseInputPin::BeginFlush();
  return transform_->BeginFlush();
}

HRESULT TTransformInputPin::EndFlush() {
  TBaseInputPin::EndFlush();
  return transform_->EndFlush();
}

HRESULT TTransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  TBasePin::NewSegment(start, stop, rate);
  return transform_->NewSegment(start, stop, rate);
}

HRESULT TTransformInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  return transform_->GetInputAllocatorRequirements(props);
}

TTransformOutputPin::TTransformOutputPin(TTransformFilter* filter, std::string name)
    : TBaseOutputPin(filter, std::move(name)), transform_(filter) {}

HRESULT TTransformOutputPin::CheckMediaType(const MediaType& type) {
  // The output type depends on the input: connect the input first.
  if (!transform_->InputPin()->IsConnected()) return VFW_E_NOT_CONNECTED;
  return transform_->CheckTransform(transform_->InputPin()->CurrentMediaType(), type);
}

HRESULT TTransformOutputPin::GetMediaType(int position, MediaType* type) {
  if (!transform_->InputPin()->IsConnected()) return VFW_S_NO_MORE_ITEMS;
  return transform_->GetOutputType(position, type);
}

HRESULT TTransformOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  return transform_->DecideBufferSize(allocator, request);
}

bool TTransformOutputPin::UsesAllocator() const { return transform_->Mode() == TTransformMode::Copy; }

TTransformFilter::TTransformFilter(const CLSID& clsid, TTransformMode mode, std::string inputName,
                                   std::string outputName)
    : TBaseFilter(clsid),
      mode_(mode),
      input_(std::make_unique<TTransformInputPin>(this, std::move(inputName))),
      output_(std::make_unique<TTransformOutputPin>(this, std::move(outputName))) {}

TTransformFilter::~TTransformFilter() = default;

TBasePin* TTransformFilter::GetPin(int n) {
  if (n == 0) return input_.get();
  if (n == 1) return output_.get();
  return nullptr;
}

HRESULT TTransformFilter::CheckTransform(const MediaType& in, const MediaType& out) {
  if (mode_ == TTransformMode::InPlace)
    return in.majortype == out.majortype && in.subtype == out.subtype && in.formattype == out.formattype ? S_OK
                                                                                                      : S_FALSE;
  return E_NOTIMPL;
}

HRESULT TTransformFilter::GetOutputType(int position, MediaType* type) {
  if (mode_ == TTransformMode::InPlace && position == 0) {
    *type = input_->CurrentMediaType();
    return S_OK;
  }
  return VFW_S_NO_MORE_ITEMS;
}

HRESULT TTransformFilter::DecideBufferSize(IMemAllocator*, ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT TTransformFilter::Pause() {
  bool starting = state() == State_Stopped;
  HRESULT hr = TBaseFilter::Pause();
  if (SUCCEEDED(hr) && starting) hr = StartStreaming();
  return hr;
}

HRESULT TTransformFilter::Stop() {
  bool wasActive = state() != State_Stopped;
  HRESULT hr = TBaseFilter::Stop();
  if (wasActive) StopStreaming();
  return hr;
}

HRESULT TTransformFilter::ReceiveSample(IMediaSample* in) {
  HRESULT hr;
  if (mode_ == TTransformMode::InPlace) {
    hr = TransformInPlace(in);
    if (hr == S_FALSE) return S_OK;  // dropped on purpose
    if (FAILED(hr)) {
      ReportStreamingError(hr, "Playback stopped because a filter failed.", "in-place transform failed " + HResultText(hr));
      return hr;
    }
    return output_->Deliver(in);
  }
  ComPtr<IMediaSample> out;
  hr = output_->GetDeliveryBuffer(out.Put(), nullptr, nullptr, 0);
  if (FAILED(hr)) return IsFlushingOrStopped() ? S_FALSE : hr;
  REFERENCE_TIME start, stop;
  HRESULT timed = in->GetTime(&start, &stop);
  if (timed == S_OK) out->SetTime(&start, &stop);
  else if (timed == VFW_S_NO_STOP_TIME) out->SetTime(&start, nullptr);
  out->SetSyncPoint(in->IsSyncPoint() == S_OK);
  out->SetDiscontinuity(in->IsDiscontinuity() == S_OK);
  out->SetPreroll(in->IsPreroll() == S_OK);
  hr = Transform(in, out.Get());
  if (hr == S_FALSE) return S_OK;
  if (FAILED(hr)) {
    ReportStreamingError(hr, "Playback stopped because a filter failed.", "transform failed " + HResultText(hr));
    return hr;
  }
  return output_->Deliver(out.Get());
}

HRESULT TTransformFilter::EndOfStream() {
  return output_->IsConnected() ? output_->DeliverEndOfStream() : S_OK;
}

HRESULT TTransformFilter::BeginFlush() { return output_->IsConnected() ? output_->DeliverBeginFlush() : S_OK; }

HRESULT TTransformFilter::EndFlush() { return output_->IsConnected() ? output_->DeliverEndFlush() : S_OK; }

HRESULT TTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return output_->IsConnected() ? output_->DeliverNewSegment(start, stop, rate) : S_OK;
}

bool TTransformFilter::IsFlushingOrStopped() { return input_->IsFlushing() || state() == State_Stopped; }

}  // namespace kv
