// The filter graph manager: the object the engine builds and drives a graph through.
//
// It implements IGraphBuilder (and IFilterGraph), IMediaControl, IMediaSeeking,
// IMediaEventEx (and IMediaEventSink for the filters), IMediaFilter, IBasicVideo,
// IBasicAudio, IVideoWindow (forwarded to the first filter that offers them; E_NOTIMPL
// when none does) and IRunningObjectDescription (for the running graph table).
//
// Ownership: the graph holds a reference to every filter in it; filters know the graph
// without a reference. Removing a filter or releasing the graph disconnects the pins, so
// connected filters do not keep each other alive.
//
// Threads: the methods are meant for the user-interface thread; one lock serialises them.
// Streaming threads reach the graph only through IMediaEventSink::Notify, which takes the
// event queue's own lock, never the graph's, so Stop can join them while holding it.
// State changes go downstream first (renderers before sources): a renderer that stops
// first releases any streaming thread blocked in it, so the sources' threads can be joined.
//
// Positions (IMediaSeeking) go to the "seek targets": the most upstream filters that
// offer IMediaSeeking themselves (a demultiplexer, a generator). A seek pauses a running
// graph, lets every target flush and restart with a new segment, and runs it again with
// stream time 0 at the new position. The current position is the segment start plus the
// elapsed stream time times the rate on a clocked graph, and the last presented sample's
// time on an unclocked one.
#pragma once

#include "platform/com/running_object_table.h"
#include "platform/graph/graph_interfaces.h"

namespace kv {

// A new, empty graph manager.
ComPtr<IGraphBuilder> CreateFilterGraph();

// Registers the runtime's own classes (CLSID_FilterGraph, CLSID_SystemClock and the
// system device enumerator) with the process's class registry. Call once at program
// start (and in tests) before CoCreateInstance; idempotent, any thread.
void CoInitialize();

// How long StopWhenReady waits for the renderers' preroll before it stops regardless. It
// runs on the user-interface thread, so a source that never delivers must not freeze the
// window for long; a first frame slower than this is simply not shown.
inline constexpr int32_t kStopWhenReadyTimeoutMs = 2000;
// How long Run from stopped waits for the renderers' preroll before it starts the clock
// regardless. The clock starts once every renderer holds its first sample, so the pictures
// behind it (a chain of effects fills its queues meanwhile) are not due before they can
// be ready. Also on the user-interface thread (Play): a renderer that never prerolls (no
// samples, no sound server) delays the start by this much at most.
inline constexpr int32_t kRunPrerollTimeoutMs = 400;
// Stream time 0 is this far after the clock time at which Run from stopped starts the
// graph: the renderers wake and the sound is uncorked before the first sample is due.
inline constexpr REFERENCE_TIME kRunStartLatency = 100000;  // 10 ms
// How many transform filters intelligent connect may chain between two pins.
inline constexpr int kMaxIntelligentConnectDepth = 3;

}  // namespace kv
