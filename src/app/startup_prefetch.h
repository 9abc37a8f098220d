// TStartupPrefetch: work the way to the first picture needs later, begun early on a thread of
// its own so that it overlaps the window's start (settings, sound server, forms).
//
// What it does is idempotent and changes nothing the program decides: it loads the filter
// modules of Components/Filters (dlopen; the graph runtime's own load then finds them mapped
// and registers them on the user-interface thread as before) and asks once whether OpenGL works
// here (the answer is kept for the process; the device list asks it when the engine is made).
// Without it the same work happens at the same places, only on the user-interface thread.
//
// Owned by the main window; the destructor waits for the threads and gives the modules' extra
// references back (the registry keeps its own). Start is called once, from one thread.
#pragma once

#include <string>
#include <thread>
#include <vector>

namespace kv {

class TStartupPrefetch {
 public:
  TStartupPrefetch() = default;
  ~TStartupPrefetch();
  TStartupPrefetch(const TStartupPrefetch&) = delete;
  TStartupPrefetch& operator=(const TStartupPrefetch&) = delete;

  void Start(const std::string& programDir);
  // Waits until the modules are loaded (at once when Start never ran or is done). Called
  // before the graph runtime loads the same modules: their static data was written on the
  // prefetch thread, and the join, not the loader's internal lock, is what orders those
  // writes before the user-interface thread reads them.
  void WaitForModules();
  // Asks the OpenGL question on a thread of its own, at once (a helper process answers it,
  // loading no library here). Start no longer asks it once this ran. Called once, early.
  void AskOpenGl();

 private:
  std::thread thread_;
  std::thread glThread_;
  std::vector<void*> modules_;  // written by thread_ only, read after it is joined
};

}  // namespace kv
