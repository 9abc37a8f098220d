// The running object table: a per-user list of live objects that outside tools can see.
//
// A graph registers itself under an item moniker ("!FilterGraph <address> pid <pid>") so
// that `kavello-graph` can list the graphs of every running player and print one. The
// table is a folder of one small text file per registered object,
//   $XDG_RUNTIME_DIR/kavello/graphs/<pid>-<cookie>.txt  (else /tmp/kavello-<uid>/graphs),
// created with mode 0700, written atomically (temporary file + rename). The first line is
// the moniker's display name, the rest is what the object's IRunningObjectDescription
// says. Files are a deliberate choice over a socket served by the graph: the player needs
// no extra thread, a tool can read a graph that is stuck, and a crashed process leaves a
// file whose pid is dead, which readers skip and prune.
//
// Threads: any. Register/Revoke/NotifyRunningObjectChanged lock the table; Describe is
// called without that lock held.
#pragma once

#include <string>
#include <vector>

#include "platform/com/device_enum.h"

namespace kv {

// Offered by objects that want a text description in the table (the filter graph manager).
struct IRunningObjectDescription : IUnknown {
  static constexpr IID kIid = GuidLiteral("{306C0531-CBCA-4A39-B41D-7705E2B0CBC1}");
  virtual HRESULT Describe(std::string* text) = 0;
};

struct IRunningObjectTable : IUnknown {
  static constexpr IID kIid = GuidLiteral("{00000010-0000-0000-C000-000000000046}");
  // Registers object under name (holding a reference until Revoke); *cookie identifies the
  // entry. A table folder that cannot be written still registers in process (S_OK) so that
  // a read-only runtime folder never stops playback.
  virtual HRESULT Register(uint32_t flags, IUnknown* object, IMoniker* name, uint32_t* cookie) = 0;
  // Removes the entry and its file. E_INVALIDARG for an unknown cookie.
  virtual HRESULT Revoke(uint32_t cookie) = 0;
  // S_OK when an object of this process is registered under that display name, else S_FALSE.
  virtual HRESULT IsRunning(IMoniker* name) = 0;
  virtual HRESULT GetObject(IMoniker* name, IUnknown** object) = 0;
};

HRESULT GetRunningObjectTable(uint32_t reserved, IRunningObjectTable** table);
// A moniker whose display name is delimiter + item.
HRESULT CreateItemMoniker(const std::string& delimiter, const std::string& item, IMoniker** moniker);

// Rewrites the file of every entry registered for `object` (call after it changed).
void NotifyRunningObjectChanged(IUnknown* object);

// Reading side, for the inspection tool and tests.
struct TRunningObjectFile {
  std::string path;
  int pid = 0;
  std::string displayName;  // first line
  std::string description;  // the rest
};
std::string RunningObjectFolder();
// Entries of live processes, sorted by file name; files of dead processes are deleted.
std::vector<TRunningObjectFile> ListRunningObjects();

}  // namespace kv
