// The fixture of the engine graph tests: a program directory of descriptor files naming
// stand-in filters, a recorded message box and a debug log in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/contrl.h"
#include "stand_in_filters.h"

namespace kv::test {

inline constexpr CLSID kSourceA = GuidLiteral("{B0000000-0000-0000-0000-000000000001}");
inline constexpr CLSID kSourceB = GuidLiteral("{B0000000-0000-0000-0000-000000000002}");
inline constexpr CLSID kSplitter = GuidLiteral("{B0000000-0000-0000-0000-000000000003}");
inline constexpr CLSID kDecoderHigh = GuidLiteral("{B0000000-0000-0000-0000-000000000004}");
inline constexpr CLSID kDecoderLow = GuidLiteral("{B0000000-0000-0000-0000-000000000005}");
inline constexpr CLSID kAudioDecoder = GuidLiteral("{B0000000-0000-0000-0000-000000000006}");
inline constexpr CLSID kPlugin1 = GuidLiteral("{B0000000-0000-0000-0000-000000000007}");
inline constexpr CLSID kPlugin2 = GuidLiteral("{B0000000-0000-0000-0000-000000000008}");
inline constexpr CLSID kPlugin3 = GuidLiteral("{B0000000-0000-0000-0000-000000000009}");
inline constexpr CLSID kSplittingSource = GuidLiteral("{B0000000-0000-0000-0000-00000000000A}");
inline constexpr CLSID kMissing = GuidLiteral("{B0000000-0000-0000-0000-0000000000FF}");

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes a descriptor file under the program directory (relative path, file text).
  void Write(const std::string& relative, const std::string& text);
  // The standard set: AVI container (source A + splitter), XVID decoders high and low,
  // MP3 decoder, PCM without decoder.
  void WriteStandardDescriptors();
  std::unique_ptr<TCOMPlay> MakeEngine();
  std::string Log();
  bool LogHas(const std::string& line) { return Log().find(line) != std::string::npos; }
  std::vector<std::string> Filters() { return engine->FilterNames(); }
  bool InGraph(const std::string& name);

  std::filesystem::path dir;
  std::vector<std::string> boxes;  // texts of "Error" boxes shown
  std::unique_ptr<TCOMPlay> engine;
};

std::string Guid(const GUID& g);

}  // namespace kv::test
