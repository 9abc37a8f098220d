// IBasicAudio, IBasicVideo and IVideoWindow on the graph reach the first filter that
// offers them (the renderers); without one every call is E_NOTIMPL, which is how the
// engine tells that a graph has no audio (or no video) renderer.
#include "platform/graph/graph_manager.h"

namespace kv {

template <class I>
ComPtr<I> TFilterGraph::FindForwardTarget() {
  std::lock_guard lock(graphMutex_);
  for (auto& e : filters_)
    if (auto i = e.filter.Query<I>()) return i;
  return nullptr;
}

#define KV_FORWARD(Iface, call)                 \
  do {                                          \
    auto target = FindForwardTarget<Iface>();   \
    if (!target) return E_NOTIMPL;              \
    return target->call;                        \
  } while (0)

HRESULT TFilterGraph::put_Volume(int32_t v) { KV_FORWARD(IBasicAudio, put_Volume(v)); }
HRESULT TFilterGraph::get_Volume(int32_t* v) { KV_FORWARD(IBasicAudio, get_Volume(v)); }
HRESULT TFilterGraph::put_Balance(int32_t b) { KV_FORWARD(IBasicAudio, put_Balance(b)); }
HRESULT TFilterGraph::get_Balance(int32_t* b) { KV_FORWARD(IBasicAudio, get_Balance(b)); }

HRESULT TFilterGraph::get_AvgTimePerFrame(REFERENCE_TIME* t) { KV_FORWARD(IBasicVideo, get_AvgTimePerFrame(t)); }
HRESULT TFilterGraph::get_VideoWidth(int32_t* w) { KV_FORWARD(IBasicVideo, get_VideoWidth(w)); }
HRESULT TFilterGraph::get_VideoHeight(int32_t* h) { KV_FORWARD(IBasicVideo, get_VideoHeight(h)); }
HRESULT TFilterGraph::SetSourcePosition(int32_t l, int32_t t, int32_t w, int32_t h) {
  KV_FORWARD(IBasicVideo, SetSourcePosition(l, t, w, h));
}
HRESULT TFilterGraph::GetSourcePosition(int32_t* l, int32_t* t, int32_t* w, int32_t* h) {
  KV_FORWARD(IBasicVideo, GetSourcePosition(l, t, w, h));
}
HRESULT TFilterGraph::SetDefaultSourcePosition() { KV_FORWARD(IBasicVideo, SetDefaultSourcePosition()); }
HRESULT TFilterGraph::SetDestinationPosition(int32_t l, int32_t t, int32_t w, int32_t h) {
  KV_FORWARD(IBasicVideo, SetDestinationPosition(l, t, w, h));
}
HRESULT TFilterGraph::GetDestinationPosition(int32_t* l, int32_t* t, int32_t* w, int32_t* h) {
  KV_FORWARD(IBasicVideo, GetDestinationPosition(l, t, w, h));
}
HRESULT TFilterGraph::SetDefaultDestinationPosition() { KV_FORWARD(IBasicVideo, SetDefaultDestinationPosition()); }
HRESULT TFilterGraph::GetVideoSize(int32_t* w, int32_t* h) { KV_FORWARD(IBasicVideo, GetVideoSize(w, h)); }

HRESULT TFilterGraph::put_Caption(const std::string& c) { KV_FORWARD(IVideoWindow, put_Caption(c)); }
HRESULT TFilterGraph::put_WindowStyle(int32_t s) { KV_FORWARD(IVideoWindow, put_WindowStyle(s)); }
HRESULT TFilterGraph::put_AutoShow(int32_t a) { KV_FORWARD(IVideoWindow, put_AutoShow(a)); }
HRESULT TFilterGraph::put_Visible(int32_t v) { KV_FORWARD(IVideoWindow, put_Visible(v)); }
HRESULT TFilterGraph::get_Visible(int32_t* v) { KV_FORWARD(IVideoWindow, get_Visible(v)); }
HRESULT TFilterGraph::put_Owner(OAHWND o) { KV_FORWARD(IVideoWindow, put_Owner(o)); }
HRESULT TFilterGraph::get_Owner(OAHWND* o) { KV_FORWARD(IVideoWindow, get_Owner(o)); }
HRESULT TFilterGraph::put_MessageDrain(OAHWND d) { KV_FORWARD(IVideoWindow, put_MessageDrain(d)); }
HRESULT TFilterGraph::SetWindowPosition(int32_t l, int32_t t, int32_t w, int32_t h) {
  KV_FORWARD(IVideoWindow, SetWindowPosition(l, t, w, h));
}
HRESULT TFilterGraph::GetWindowPosition(int32_t* l, int32_t* t, int32_t* w, int32_t* h) {
  KV_FORWARD(IVideoWindow, GetWindowPosition(l, t, w, h));
}
HRESULT TFilterGraph::NotifyOwnerMessage(OAHWND win, int32_t msg, intptr_t wp, intptr_t lp) {
  KV_FORWARD(IVideoWindow, NotifyOwnerMessage(win, msg, wp, lp));
}
HRESULT TFilterGraph::SetWindowForeground(int32_t f) { KV_FORWARD(IVideoWindow, SetWindowForeground(f)); }
HRESULT TFilterGraph::put_FullScreenMode(int32_t f) { KV_FORWARD(IVideoWindow, put_FullScreenMode(f)); }
HRESULT TFilterGraph::get_FullScreenMode(int32_t* f) { KV_FORWARD(IVideoWindow, get_FullScreenMode(f)); }

#undef KV_FORWARD

}  // namespace kv
