// Preloaded into the program by a scripted-run test: its constructor sends SIGTERM to its own
// process while the loader is still starting the player (Qt and FFmpeg are mapped, the
// player's main has not run), as a logout or a script's kill in the first moments does.
#include <dlfcn.h>
#include <csignal>
#include <unistd.h>

__attribute__((constructor)) static void TermWhileLoading() {
  // Only in the player, the process that maps Qt (not in a front door that starts it).
  if (void* qt = dlopen("libQt6Core.so.6", RTLD_NOW | RTLD_NOLOAD)) {
    dlclose(qt);
    kill(getpid(), SIGTERM);
  }
}
