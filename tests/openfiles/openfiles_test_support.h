// Shared pieces of the open-files tests: a temporary folder tree, a small catalogue, and an
// event loop that runs until a condition holds.
#pragma once

#include <QApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/catalogue.h"

namespace kv::test {

namespace fs = std::filesystem;

inline fs::path MakeTempDir(const char* tag) {
  std::string tmpl = std::string("/tmp/kavello-") + tag + "-XXXXXX";
  char* made = mkdtemp(tmpl.data());
  return made ? fs::path(made) : fs::path();
}

inline void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

inline const char* kSubRip = "1\n00:00:00,200 --> 00:00:01,500\nHello\n\n2\n00:00:02,200 --> 00:00:03,000\nAgain\n";

// AVI and Matroska as video containers, MP3 and WAV as audio containers.
inline TCatalogue SmallCatalogue() {
  TCatalogue c;
  TContainerDesc d;
  d.Extension = "AVI";
  d.Description = "AVI files";
  c.AddVideoContainer(d);
  d.Extension = "MKV";
  d.Description = "Matroska";
  c.AddVideoContainer(d);
  c.FinishVideoContainers();
  d.Extension = "MP3";
  d.Description = "MPEG audio";
  c.AddAudioContainer(d);
  d.Extension = "WAV";
  d.Description = "Wave";
  c.AddAudioContainer(d);
  c.FinishAudioContainers();
  return c;
}

// Runs the event loop until `done` holds; the limit only guards against a hang.
template <class F>
bool RunUntil(F done, int limitMs = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < limitMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

}  // namespace kv::test
