// kavello-graph: lists the filter graphs that running Kavello processes registered, and
// prints the filters, pins, connections and media types of one of them.
//
//   kavello-graph          list the graphs, numbered from 1
//   kavello-graph N        print graph N
//   kavello-graph --all    print every graph
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/com/running_object_table.h"

namespace {

void PrintOne(size_t index, const kv::TRunningObjectFile& f) {
  std::printf("%zu: %s\n%s", index, f.displayName.c_str(), f.description.c_str());
}

int Usage() {
  std::fprintf(stderr, "usage: kavello-graph [N | --all]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) return Usage();
  auto graphs = kv::ListRunningObjects();
  if (argc == 1) {
    if (graphs.empty()) {
      std::printf("no running graphs in %s\n", kv::RunningObjectFolder().c_str());
      return 0;
    }
    for (size_t i = 0; i < graphs.size(); ++i) std::printf("%zu: %s\n", i + 1, graphs[i].displayName.c_str());
    return 0;
  }
  std::string arg = argv[1];
  if (arg == "--all") {
    for (size_t i = 0; i < graphs.size(); ++i) PrintOne(i + 1, graphs[i]);
    return 0;
  }
  char* end = nullptr;
  long n = std::strtol(arg.c_str(), &end, 10);
  if (arg.empty() || *end) return Usage();
  if (n < 1 || static_cast<size_t>(n) > graphs.size()) {
    std::printf("no graph %ld (%zu running)\n", n, graphs.size());
    return 1;
  }
  PrintOne(static_cast<size_t>(n), graphs[n - 1]);
  return 0;
}
