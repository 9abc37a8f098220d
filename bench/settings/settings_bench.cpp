// Reading the settings file when it has grown large: loading a 50 MB "user.reg" and reading
// one value, and the whole settings load of a start (tOptions::LoadSettings) with a settings
// file of the usual size and with one grown to 1 MB (10 000 values more in the program's own
// key). The second pair shows what a large file adds to a start; the aim is under 50 ms, and
// under 1 s for the 50 MB load. A start reads a file written at an earlier exit, so the
// start benchmark lets the file's time stamps age (see HiveStore) before it is timed.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/registry/hive_store.h"
#include "platform/registry/registry.h"
#include "settings/optunit.h"

namespace {

namespace fs = std::filesystem;

const fs::path& BenchDir() {
  static const fs::path dir = [] {
    std::string pattern = (fs::temp_directory_path() / "kavello-bench-settings-XXXXXX").string();
    return fs::path(::mkdtemp(pattern.data()));
  }();
  return dir;
}

// A hive of about `bytes` bytes: string values in the program's root key.
fs::path HiveOfSize(size_t bytes) {
  const fs::path path = BenchDir() / ("hive-" + std::to_string(bytes) + ".reg");
  if (fs::exists(path)) return path;
  std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\n";
  char line[160];
  for (int i = 0; text.size() < bytes; ++i) {
    std::snprintf(line, sizeof line, "\"RecentValue%07d\"=\"C:\\\\Films\\\\Some film number %d.avi\"\n", i, i);
    text += line;
  }
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

// A fresh configuration folder whose user.reg is (a hard link to) `hive`; each one is a new
// store in this process, so nothing is cached from an earlier iteration.
void UseFreshConfigWith(const fs::path& hive) {
  static int serial = 0;
  const fs::path dir = BenchDir() / ("config-" + std::to_string(++serial));
  fs::create_directories(dir / "kavello");
  if (!hive.empty()) fs::create_hard_link(hive, dir / "kavello" / "user.reg");
  ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
}

void BM_LoadAndOneRead(benchmark::State& state) {
  const fs::path hive = HiveOfSize(static_cast<size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    state.PauseTiming();
    UseFreshConfigWith(hive);
    state.ResumeTiming();
    kv::registry::TRegistry reg;
    reg.OpenKey("Software\\Tessaland\\Kavello", false);
    benchmark::DoNotOptimize(reg.ReadString("RecentValue0000001"));
  }
  state.SetLabel(std::to_string(state.range(0)) + " MB file");
}
BENCHMARK(BM_LoadAndOneRead)->Arg(1)->Arg(50)->Iterations(2)->Unit(benchmark::kMillisecond);

// The settings file a start finds: `extra` bytes of values plus every section the program
// keeps (made by one settings load, as the first start of the program does).
fs::path SettingsFileWith(size_t extra) {
  const fs::path complete = BenchDir() / ("settings-" + std::to_string(extra) + ".reg");
  if (fs::exists(complete)) return complete;
  UseFreshConfigWith(extra > 0 ? HiveOfSize(extra) : fs::path());
  {
    kv::tOptions options;
    options.LoadSettings();
    options.SaveSettings();
  }
  fs::copy_file(fs::path(kv::registry::HivePath(kv::registry::Hive::CurrentUser)), complete);
  return complete;
}

void BM_StartSettingsLoad(benchmark::State& state) {
  const fs::path hive = SettingsFileWith(static_cast<size_t>(state.range(0)) << 20);
  for (auto _ : state) {
    state.PauseTiming();
    UseFreshConfigWith(hive);
    std::this_thread::sleep_for(std::chrono::nanoseconds(kv::registry::HiveStore::KTrustAfterNs) +
                                std::chrono::milliseconds(100));
    state.ResumeTiming();
    kv::tOptions options;
    options.LoadSettings();
  }
  state.SetLabel(state.range(0) > 0 ? std::to_string(state.range(0)) + " MB more" : "usual file");
}
BENCHMARK(BM_StartSettingsLoad)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove_all(BenchDir(), ignored);
  return 0;
}
