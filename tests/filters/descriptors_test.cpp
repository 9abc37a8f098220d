// The shipped descriptor files against this module's registrations: every source, splitter
// and decoder they name can be created the way the engine creates it (class identifier,
// else friendly name), and every subtype a decoder descriptor lists is one the decoder takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "clip_graph.h"
#include "filters/demux/container_families.h"
#include "filters/mediatypes/codec_tables.h"
#include "platform/com/class_registry.h"
#include "platform/ini/ini_file.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(KAVELLO_TEST_SOURCE_DIR) / ".." / "data";

std::vector<fs::path> Files(const char* folder, std::initializer_list<const char*> extensions) {
  std::vector<fs::path> files;
  if (!fs::is_directory(kData / folder)) return files;
  for (const auto& entry : fs::directory_iterator(kData / folder))
    for (const char* ext : extensions)
      if (entry.path().extension() == ext) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// What the engine would get for (GUID, name): the registration by class identifier, else
// the first class of that friendly name.
std::optional<TClassRegistration> Resolve(const std::string& guidText, const std::string& name) {
  TClassRegistration reg;
  if (auto guid = GuidFromString(guidText); guid && ClassRegistry().Find(*guid, &reg)) return reg;
  for (const auto& r : ClassRegistry().Classes())
    if (!name.empty() && r.friendlyName == name) return r;
  return std::nullopt;
}

TEST(Descriptors, ContainersName_sourcesAndSplittersThisModuleRegisters) {
  testing::RegisterFiltersOnce();
  const auto files = Files("Containers", {".vc", ".ac"});
  ASSERT_FALSE(files.empty()) << "no container descriptor files in " << kData << "/Containers";
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    const ini::TIniFile desc(file.string());
    auto source = Resolve(desc.ReadString("Source", "GUID", ""), desc.ReadString("Source", "Name", ""));
    ASSERT_TRUE(source.has_value()) << "source not registered";
    const bool splits = desc.ReadBool("Source", "Splitter", false);
    const demux::TContainerFamily* family = demux::FindContainerFamily(source->clsid);
    if (splits) {
      ASSERT_NE(family, nullptr);
      EXPECT_TRUE(family->isSource) << "a source that splits reads the file itself";
      continue;
    }
    auto splitter = Resolve(desc.ReadString("Splitter", "GUID", ""), desc.ReadString("Splitter", "Name", ""));
    ASSERT_TRUE(splitter.has_value()) << "splitter not registered";
    const demux::TContainerFamily* splitterFamily = demux::FindContainerFamily(splitter->clsid);
    ASSERT_NE(splitterFamily, nullptr);
    EXPECT_FALSE(splitterFamily->isSource);
  }
}

TEST(Descriptors, DecoderFormats_areSubtypesOurDecodersTake) {
  testing::RegisterFiltersOnce();
  const auto video = mediatypes::VideoDecoderSubtypes();
  const auto audio = mediatypes::AudioDecoderSubtypes();
  const auto files = Files("Decoders", {".vd", ".ad"});
  ASSERT_FALSE(files.empty()) << "no decoder descriptor files in " << kData << "/Decoders: nothing would be checked";
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    const ini::TIniFile desc(file.string());
    const std::string guid = desc.ReadString("Decoder", "GUID", "");
    const std::string name = desc.ReadString("Decoder", "Name", "");
    if (guid.empty() && name.empty()) continue;  // formats that need no decoder
    auto decoder = Resolve(guid, name);
    ASSERT_TRUE(decoder.has_value()) << "decoder not registered";
    const bool isVideo = file.extension() == ".vd";
    const auto& accepted = isVideo ? video : audio;
    for (int n = 1;; ++n) {
      const std::string text = desc.ReadString("Formats", std::to_string(n), "");
      if (text.empty()) break;
      auto subtype = GuidFromString(text);
      ASSERT_TRUE(subtype.has_value()) << "format " << n;
      EXPECT_NE(std::find(accepted.begin(), accepted.end(), *subtype), accepted.end()) << "format " << n << " " << text;
    }
  }
}

}  // namespace
}  // namespace kv
