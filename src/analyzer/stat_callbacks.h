// The statistics callbacks the program hands to the engine before each open, and where
// they deliver.
//
// The filters call plain function addresses with a record and nothing else, so the target
// is process-wide: BindAnalysis names the gate (the owner's "analysing now" flag) and the
// frame table. AnalyzerSampleCallback hands a sample record to AddFrame and
// AnalyzerImageCallback an image record to AddFrameInfo, each only while the gate is true;
// IgnoreSampleCallback (the audio statistics) does nothing. All three return 0.
//
// Threads: the callbacks run on the filters' streaming threads and take no lock; the gate
// and the table pointer are atomics. BindAnalysis runs on the owner's thread while no
// graph streams (at start), and the gate and table it names must outlive every graph.
#pragma once

#include <atomic>
#include <cstdint>

#include "analyzer/frame_table.h"

namespace kv {

void BindAnalysis(std::atomic<bool>* gate, TFrameTable* table);

int32_t AnalyzerSampleCallback(const void* record);
int32_t AnalyzerImageCallback(const void* record);
int32_t IgnoreSampleCallback(const void* record);

}  // namespace kv
