#include "platform/video/video_surface.h"

#include <map>
#include <mutex>

namespace kv::video {

namespace {

struct TSurfaceTable {
  std::mutex Mutex;  // guards Surfaces and Next
  std::map<TSurfaceHandle, std::weak_ptr<IVideoSurface>> Surfaces;
  TSurfaceHandle Next = 0x5A00;  // not 0, and unlike a small integer a caller might pass by mistake
};

TSurfaceTable& Table() {
  static TSurfaceTable table;
  return table;
}

}  // namespace

TSurfaceHandle RegisterSurface(const std::shared_ptr<IVideoSurface>& surface) {
  if (!surface) return 0;
  TSurfaceTable& table = Table();
  std::lock_guard<std::mutex> lock(table.Mutex);
  TSurfaceHandle handle = ++table.Next;
  table.Surfaces[handle] = surface;
  return handle;
}

void UnregisterSurface(TSurfaceHandle handle) {
  TSurfaceTable& table = Table();
  std::lock_guard<std::mutex> lock(table.Mutex);
  table.Surfaces.erase(handle);
}

std::shared_ptr<IVideoSurface> FindSurface(TSurfaceHandle handle) {
  TSurfaceTable& table = Table();
  std::lock_guard<std::mutex> lock(table.Mutex);
  auto it = table.Surfaces.find(handle);
  return it == table.Surfaces.end() ? nullptr : it->second.lock();
}

}  // namespace kv::video
