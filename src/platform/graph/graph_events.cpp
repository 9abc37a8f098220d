#include "platform/graph/graph_manager.h"

namespace kv {

HRESULT TFilterGraph::GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t msTimeout) {
  return events_.Get(code, param1, param2, msTimeout);
}

HRESULT TFilterGraph::WaitForCompletion(int32_t msTimeout, int32_t* code) {
  return events_.WaitForCompletion(msTimeout, code);
}

HRESULT TFilterGraph::FreeEventParams(int32_t code, intptr_t param1, intptr_t param2) {
  TEventQueue::FreeParams(code, param1, param2);
  return S_OK;
}

HRESULT TFilterGraph::SetNotifyCallback(NotifyCallback notify) {
  events_.SetNotify(std::move(notify));
  return S_OK;
}

HRESULT TFilterGraph::SetNotifyFlags(int32_t flags) {
  events_.SetFlags(flags);
  return S_OK;
}

HRESULT TFilterGraph::GetNotifyFlags(int32_t* flags) {
  if (!flags) return E_POINTER;
  *flags = events_.Flags();
  return S_OK;
}

// Called by filters on any thread; must not take graphMutex_ (Stop joins streaming
// threads while holding it).
HRESULT TFilterGraph::Notify(int32_t eventCode, intptr_t param1, intptr_t param2) {
  events_.Post(eventCode, param1, param2);
  return S_OK;
}

}  // namespace kv
