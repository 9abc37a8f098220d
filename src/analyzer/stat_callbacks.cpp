#include "analyzer/stat_callbacks.h"

namespace kv {

namespace {

std::atomic<std::atomic<bool>*> g_gate{nullptr};
std::atomic<TFrameTable*> g_table{nullptr};

TFrameTable* OpenTable() {
  std::atomic<bool>* gate = g_gate.load(std::memory_order_acquire);
  if (!gate || !gate->load(std::memory_order_acquire)) return nullptr;
  return g_table.load(std::memory_order_acquire);
}

}  // namespace

void BindAnalysis(std::atomic<bool>* gate, TFrameTable* table) {
  g_table.store(table, std::memory_order_release);
  g_gate.store(gate, std::memory_order_release);
}

int32_t AnalyzerSampleCallback(const void* record) {
  if (TFrameTable* table = OpenTable()) table->AddFrame(static_cast<const TSampleRecord*>(record));
  return 0;
}

int32_t AnalyzerImageCallback(const void* record) {
  if (TFrameTable* table = OpenTable()) table->AddFrameInfo(static_cast<const TImageRecord*>(record));
  return 0;
}

int32_t IgnoreSampleCallback(const void*) { return 0; }

}  // namespace kv
