// Writes the sample files as the seed corpus of the subtitle fuzzers when the fuzz build asks
// for it (KAVELLO_FUZZ_SEED_DIR set); otherwise there is nothing to do.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "subtitle_test_support.h"

namespace kv {
namespace {

TEST(FuzzSeeds, writesOneSeedPerSampleIntoEveryCorpus) {
  const char* root = std::getenv("KAVELLO_FUZZ_SEED_DIR");
  if (root == nullptr || *root == '\0') GTEST_SKIP() << "KAVELLO_FUZZ_SEED_DIR not set";
  int n = 0;
  for (const test::TSample& sample : test::Samples()) {
    const std::filesystem::path dir(root);
    std::filesystem::create_directories(dir);
    std::ofstream out(dir / ("seed-" + std::to_string(n++) + "-" + sample.fileName), std::ios::binary);
    out.write(sample.text.data(), static_cast<std::streamsize>(sample.text.size()));
    ASSERT_TRUE(out.good());
  }
}

}  // namespace
}  // namespace kv
