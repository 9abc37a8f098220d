#include "osd/osd_registry_reader.h"

#ifdef KAVELLO_OSD_HAS_REGISTRY
#include "platform/registry/registry.h"
#endif

namespace kv::osd {
namespace {

#ifdef KAVELLO_OSD_HAS_REGISTRY
class TRegistryValueReader final : public IOsdValueReader {
 public:
  explicit TRegistryValueReader(const std::string& keyPath)
      : open_(registry_.OpenKeyReadOnly(keyPath)) {}
  std::optional<int32_t> ReadInteger(const std::string& name) override {
    return open_ ? registry_.ReadInteger(name) : std::nullopt;
  }
  std::optional<bool> ReadBool(const std::string& name) override {
    return open_ ? registry_.ReadBool(name) : std::nullopt;
  }
  std::optional<std::string> ReadString(const std::string& name) override {
    return open_ ? registry_.ReadString(name) : std::nullopt;
  }

 private:
  registry::TRegistry registry_{registry::Hive::CurrentUser};
  bool open_ = false;
};
#endif

class TMissingValueReader final : public IOsdValueReader {
 public:
  std::optional<int32_t> ReadInteger(const std::string&) override { return std::nullopt; }
  std::optional<bool> ReadBool(const std::string&) override { return std::nullopt; }
  std::optional<std::string> ReadString(const std::string&) override { return std::nullopt; }
};

}  // namespace

std::unique_ptr<IOsdValueReader> MakeRegistryValueReader(const std::string& keyPath) {
#ifdef KAVELLO_OSD_HAS_REGISTRY
  return std::make_unique<TRegistryValueReader>(keyPath);
#else
  (void)keyPath;
  return std::make_unique<TMissingValueReader>();
#endif
}

}  // namespace kv::osd
