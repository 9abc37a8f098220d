// The component model: GUID text, reference counting, the class registry, the device
// enumerator.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "platform/com/class_list.h"
#include "platform/com/device_enum.h"
#include "platform/graph/filter_graph.h"
#include "platform/graph/filter.h"
#include "platform/graph/media_guids.h"
#include "synthetic_filters.h"

namespace kv {
namespace {

TEST(Guid, FromString_parsesOrRefuses_byRegistryForm) {
  struct Row {
    const char* text;
    bool ok;
  } rows[] = {
      {"{083863F1-70DE-11D0-BD40-00A0C911CE86}", true},
      {"{083863f1-70de-11d0-bd40-00a0c911ce86}", true},
      {"083863F1-70DE-11D0-BD40-00A0C911CE86", false},     // no braces
      {"{083863F1-70DE-11D0-BD40-00A0C911CE8}", false},    // 37 characters
      {"{083863F1-70DE-11D0-BD40-00A0C911CE8G}", false},   // not hex
      {"{083863F1+70DE-11D0-BD40-00A0C911CE86}", false},   // wrong separator
      {"", false},
  };
  for (auto& r : rows) EXPECT_EQ(GuidFromString(r.text).has_value(), r.ok) << r.text;
}

TEST(Guid, ToString_roundTripsInUpperCase) {
  GUID g = GuidLiteral("{e436eb7d-524f-11ce-9f53-0020af0ba770}");
  EXPECT_EQ(GuidToString(g), "{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
  EXPECT_EQ(*GuidFromString(GuidToString(g)), g);
  EXPECT_EQ(g.Data1, 0xE436EB7Du);
  EXPECT_EQ(g.Data4[7], 0x70);
}

TEST(Guid, Hash_separatesGuidsThatDifferInOneByte) {
  GUID a = GuidLiteral("{00000000-0000-0000-0000-000000000001}");
  GUID b = GuidLiteral("{00000000-0000-0000-0000-000000000002}");
  EXPECT_NE(std::hash<GUID>()(a), std::hash<GUID>()(b));
  EXPECT_EQ(std::hash<GUID>()(a), std::hash<GUID>()(GuidLiteral("{00000000-0000-0000-0000-000000000001}")));
}

TEST(HResult, SucceededAndFailed_followTheSign) {
  EXPECT_TRUE(SUCCEEDED(S_OK));
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
  EXPECT_TRUE(SUCCEEDED(VFW_S_DUPLICATE_NAME));
  EXPECT_EQ(VFW_S_DUPLICATE_NAME, 262701);
  EXPECT_EQ(static_cast<uint32_t>(E_NOTIMPL), 0x80004001u);
  EXPECT_TRUE(FAILED(E_NOTIMPL));
  EXPECT_TRUE(FAILED(VFW_E_NOT_CONNECTED));
}

TEST(Unknown, PinsShareTheirFilterCount_soAPinKeepsItsFilterAlive) {
  int before = testing::TCountingRenderer::liveInstances.load();
  ComPtr<IPin> pin;
  {
    ComPtr<IBaseFilter> filter(new testing::TCountingRenderer());
    ASSERT_EQ(filter->FindPin("In", pin.Put()), S_OK);
  }
  EXPECT_EQ(testing::TCountingRenderer::liveInstances.load(), before + 1);
  PIN_INFO info;
  ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
  EXPECT_EQ(info.achName, "In");
  info.pFilter.Reset();
  pin.Reset();
  EXPECT_EQ(testing::TCountingRenderer::liveInstances.load(), before);
}

TEST(Unknown, QueryInterface_answersOfferedInterfacesOnly) {
  ComPtr<IBaseFilter> filter(new testing::TCountingRenderer());
  EXPECT_TRUE(filter.Query<IMediaFilter>());
  EXPECT_TRUE(filter.Query<IAMFilterMiscFlags>());
  EXPECT_FALSE(filter.Query<IMediaSeeking>());
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(filter->QueryInterface(IMediaSeeking::kIid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(filter->QueryInterface(IMediaFilter::kIid, nullptr), E_POINTER);
  EXPECT_TRUE(IsSameObject(filter.Get(), filter.Query<IAMFilterMiscFlags>().Get()));
}

class ClassRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(); }
  static constexpr CLSID kClsid = GuidLiteral("{345ECC12-ADD1-47BF-AD61-1D1484EABF95}");
  static constexpr GUID kCategory = GuidLiteral("{C2344A36-255C-4A0A-9833-65C62F3C581A}");
};

TEST_F(ClassRegistryTest, CoCreateInstance_createsRegisteredClasses_andRefusesUnknownOnes) {
  ComPtr<IGraphBuilder> graph;
  EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                             IID_IGraphBuilder, graph.PutVoid()),
            S_OK);
  EXPECT_TRUE(graph.Query<IMediaControl>());
  ComPtr<IUnknown> none;
  EXPECT_EQ(CoCreateInstance(GuidLiteral("{E43251B6-275F-4F76-B13E-1884CA2E1480}"), nullptr,
                             CLSCTX_INPROC_SERVER, IID_IUnknown, none.PutVoid()),
            REGDB_E_CLASSNOTREG);
  ComPtr<IGraphBuilder> aggregated;
  EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, graph.Get(), CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                             aggregated.PutVoid()),
            E_INVALIDARG);
}

TEST_F(ClassRegistryTest, RegisterFilter_refusesIncompleteRegistrations) {
  TClassRegistration r;
  r.clsid = kClsid;
  r.friendlyName = "No factory";
  EXPECT_EQ(ClassRegistry().RegisterFilter(r), E_INVALIDARG);
  r.friendlyName.clear();
  r.factory = [](const IID&, void**) { return E_FAIL; };
  EXPECT_EQ(ClassRegistry().RegisterFilter(r), E_INVALIDARG);
}

TEST_F(ClassRegistryTest, DeviceEnumerator_listsFiltersByFriendlyName_andBindsThem) {
  testing::RegisterTestRenderer(kClsid, "Enumerated Renderer", MERIT_DO_NOT_USE, MEDIATYPE_Video, GUID_NULL);
  ComPtr<ICreateDevEnum> devEnum;
  ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, &devEnum), S_OK);
  ComPtr<IEnumMoniker> monikers;
  ASSERT_EQ(devEnum->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, monikers.Put(), 0), S_OK);
  ComPtr<IMoniker> m;
  bool found = false;
  while (monikers->Next(1, m.Put(), nullptr) == S_OK) {
    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()), S_OK);
    std::string name;
    ASSERT_EQ(bag->Read("FriendlyName", &name), S_OK);
    if (name != "Enumerated Renderer") continue;
    found = true;
    std::string clsid;
    EXPECT_EQ(bag->Read("CLSID", &clsid), S_OK);
    EXPECT_EQ(clsid, GuidToString(kClsid));
    EXPECT_EQ(bag->Read("Missing", &clsid), E_INVALIDARG);
    ComPtr<IBaseFilter> filter;
    EXPECT_EQ(m->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid()), S_OK);
    EXPECT_TRUE(filter);
  }
  EXPECT_TRUE(found);
  ClassRegistry().Unregister(kClsid);
}

TEST_F(ClassRegistryTest, DeviceEnumerator_reportsEmptyCategoryAsSFalse) {
  ComPtr<ICreateDevEnum> devEnum;
  ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, &devEnum), S_OK);
  ComPtr<IEnumMoniker> monikers;
  EXPECT_EQ(devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0), S_FALSE);
  EXPECT_FALSE(monikers);
}

TEST_F(ClassRegistryTest, DeviceProviders_addDevicesToTheirCategory_atEnumerationTime) {
  int calls = 0;
  int id = ClassRegistry().AddDeviceProvider(kCategory, [&calls] {
    ++calls;
    TDeviceEntry d;
    d.friendlyName = "Speakers " + std::to_string(calls);
    d.factory = [](const IID& iid, void** out) {
      return CreateComObject<testing::TCountingRenderer>(iid, out, MEDIATYPE_Audio, false);
    };
    return std::vector<TDeviceEntry>{d};
  });
  ComPtr<ICreateDevEnum> devEnum;
  ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, &devEnum), S_OK);
  ComPtr<IEnumMoniker> monikers;
  ASSERT_EQ(devEnum->CreateClassEnumerator(kCategory, monikers.Put(), 0), S_OK);
  ComPtr<IMoniker> m;
  ASSERT_EQ(monikers->Next(1, m.Put(), nullptr), S_OK);
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()), S_OK);
  std::string name;
  bag->Read("FriendlyName", &name);
  EXPECT_EQ(name, "Speakers 1");
  EXPECT_EQ(monikers->Next(1, m.Put(), nullptr), S_FALSE);
  // Reset asks the provider again: devices that came or went show up.
  monikers->Reset();
  ASSERT_EQ(monikers->Next(1, m.Put(), nullptr), S_OK);
  m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid());
  bag->Read("FriendlyName", &name);
  EXPECT_EQ(name, "Speakers 2");
  ComPtr<IBaseFilter> filter;
  EXPECT_EQ(m->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid()), S_OK);
  ClassRegistry().RemoveDeviceProvider(id);
  monikers.Reset();
  EXPECT_EQ(devEnum->CreateClassEnumerator(kCategory, monikers.Put(), 0), S_FALSE);
}

TEST_F(ClassRegistryTest, LoadFilterModules_skipsFilesThatAreNotModules) {
  std::string dir = ::testing::TempDir() + "/kv_modules";
  std::filesystem::create_directories(dir);
  { std::ofstream(dir + "/broken.so") << "not an ELF file"; }
  std::vector<std::string> errors;
  EXPECT_EQ(ClassRegistry().LoadFilterModules(dir, &errors), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("broken.so"), std::string::npos);
  EXPECT_EQ(ClassRegistry().LoadFilterModules(dir + "/missing", &errors), 0);
}

TEST_F(ClassRegistryTest, LoadFilterModules_registersTheClassesOfAModule) {
  std::vector<std::string> errors;
  ASSERT_EQ(ClassRegistry().LoadFilterModules(KAVELLO_GRAPH_TEST_MODULES, &errors), 1);
  EXPECT_TRUE(errors.empty());
  constexpr CLSID kModuleClassId = GuidLiteral("{56466BA7-F3FA-47F4-840D-9B887FD72332}");
  TClassRegistration found;
  ASSERT_TRUE(ClassRegistry().Find(kModuleClassId, &found));
  EXPECT_EQ(found.friendlyName, "Module Test Filter");
  ComPtr<IPersist> object;
  ASSERT_EQ(CoCreateInstance(kModuleClassId, &object), S_OK);
  CLSID clsid;
  object->GetClassID(&clsid);
  EXPECT_EQ(clsid, kModuleClassId);
}

// A module with a class list beside it is registered from the list and loaded only when
// one of its classes is first created; a list older than its module, or one that does not
// parse, is not trusted (the module is loaded at once, as without a list).
TEST_F(ClassRegistryTest, LoadFilterModules_withAFreshClassList_loadsTheModuleAtFirstUse) {
  namespace fs = std::filesystem;
  const std::string dir = ::testing::TempDir() + "/kv_lazy_modules";
  fs::remove_all(dir);
  fs::create_directories(dir);
  // A copy of its own: the earlier test may have this process hold the original.
  const std::string module = dir + "/lazy.so";
  fs::copy_file(std::string(KAVELLO_GRAPH_TEST_MODULES) + "/testfilters.so", module);
  constexpr CLSID kModuleClassId = GuidLiteral("{56466BA7-F3FA-47F4-840D-9B887FD72332}");
  TClassRegistration listed;
  listed.clsid = kModuleClassId;
  listed.friendlyName = "Module Test Filter (from its list)";
  listed.merit = MERIT_UNLIKELY;
  listed.categories = {CLSID_LegacyAmFilterCategory};
  listed.inputTypes = {{MEDIATYPE_Video, GUID_NULL}};
  const std::string text = FormatClassList({listed});
  ASSERT_TRUE(ParseClassList(text)) << text;
  { std::ofstream(ClassListPath(module)) << text; }
  ASSERT_EQ(ClassListPath(module), dir + "/lazy.classes");

  ASSERT_EQ(ClassRegistry().LoadFilterModules(dir), 1);
  EXPECT_EQ(dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr) << "loaded before any use";
  TClassRegistration found;
  ASSERT_TRUE(ClassRegistry().Find(kModuleClassId, &found));
  EXPECT_EQ(found.friendlyName, "Module Test Filter (from its list)");
  EXPECT_EQ(found.merit, MERIT_UNLIKELY);
  ASSERT_EQ(found.inputTypes.size(), 1u);
  EXPECT_EQ(found.inputTypes[0].majorType, MEDIATYPE_Video);
  ComPtr<IPersist> object;
  ASSERT_EQ(CoCreateInstance(kModuleClassId, &object), S_OK);
  CLSID clsid;
  object->GetClassID(&clsid);
  EXPECT_EQ(clsid, kModuleClassId);
  void* loaded = dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
  EXPECT_NE(loaded, nullptr) << "created without loading the module";
  if (loaded) dlclose(loaded);

  // Untrusted lists: the module is loaded at once and its own registration holds.
  for (const char* bad : {"stale", "garbled"}) {
    SCOPED_TRACE(bad);
    const std::string other = dir + "/" + bad + ".so";
    fs::copy_file(module, other);
    { std::ofstream(ClassListPath(other)) << (std::string(bad) == "stale" ? text : "kavello-classes 1\nclass {nonsense}\n"); }
    if (std::string(bad) == "stale") fs::last_write_time(other, fs::last_write_time(ClassListPath(other)) + std::chrono::seconds(5));
    EXPECT_FALSE(FreshClassList(other));
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kv
