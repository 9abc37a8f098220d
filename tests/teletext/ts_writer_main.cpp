// ttx_ts_writer OUT.ts [--no-video] [--no-audio] [--teletext-first] [--seconds N]
// Writes a transport stream with the standard teletext pages (ts_writer.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ts_writer.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.ts [--no-video] [--no-audio] [--teletext-first] [--seconds N]\n", argv[0]);
    return 2;
  }
  kv::test::TTsWriterOptions o;
  o.pages = kv::test::StandardPages();
  for (int i = 2; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--no-video")) o.video = false;
    else if (!std::strcmp(argv[i], "--no-audio")) o.audio = false;
    else if (!std::strcmp(argv[i], "--teletext-first")) o.teletextFirst = true;
    else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) o.seconds = std::atof(argv[++i]);
  }
  return kv::test::WriteTeletextTs(argv[1], o) ? 0 : 1;
}
