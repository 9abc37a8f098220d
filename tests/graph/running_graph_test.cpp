// The running graph table and the kavello-graph tool that reads it.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "graph_fixture.h"
#include "platform/com/running_object_table.h"

namespace kv::testing {
namespace {

class RunningGraphTable : public GraphTest {
 protected:
  void SetUp() override {
    runtimeDir = ::testing::TempDir() + "/kv_rot_" + std::to_string(getpid());
    std::filesystem::create_directories(runtimeDir);
    setenv("XDG_RUNTIME_DIR", runtimeDir.c_str(), 1);
    GraphTest::SetUp();
  }
  void TearDown() override {
    GraphTest::TearDown();
    std::filesystem::remove_all(runtimeDir);
  }

  // Registers the graph as the engine does ("FilterGraph <address> pid <pid>").
  uint32_t Register() {
    char item[64];
    std::snprintf(item, sizeof item, "FilterGraph %08X pid %08X",
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(graph.Get())), static_cast<unsigned>(getpid()));
    ComPtr<IRunningObjectTable> rot;
    EXPECT_EQ(GetRunningObjectTable(0, rot.Put()), S_OK);
    ComPtr<IMoniker> moniker;
    EXPECT_EQ(CreateItemMoniker("!", item, moniker.Put()), S_OK);
    uint32_t cookie = 0;
    EXPECT_EQ(rot->Register(0, graph.Get(), moniker.Get(), &cookie), S_OK);
    displayName = std::string("!") + item;
    return cookie;
  }

  static std::string RunTool(const std::string& args) {
    std::string command = std::string(KAVELLO_PROGRAM_DIR) + "/kavello-graph " + args + " 2>&1";
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
      char buf[512];
      while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
      pclose(p);
    }
    return out;
  }

  std::string runtimeDir;
  std::string displayName;
};

TEST_F(RunningGraphTable, RegisteredGraph_isListedWithItsTopology_untilRevoked) {
  auto renderers = BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2)}, kSecond, kFrame);
  uint32_t cookie = Register();
  auto list = ListRunningObjects();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].displayName, displayName);
  EXPECT_EQ(list[0].pid, getpid());
  EXPECT_NE(list[0].description.find("filter \"Source\""), std::string::npos);
  EXPECT_NE(list[0].description.find("pin \"Out0\" out -> \"Renderer 0\".\"In\" Video/YUY2 format VideoInfo"),
            std::string::npos)
      << list[0].description;
  // A change to the graph rewrites the entry.
  ComPtr<TCountingRenderer> extra(new TCountingRenderer());
  graph->AddFilter(extra.Get(), "Late addition");
  list = ListRunningObjects();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_NE(list[0].description.find("Late addition"), std::string::npos);

  ComPtr<IRunningObjectTable> rot;
  GetRunningObjectTable(0, rot.Put());
  ComPtr<IMoniker> moniker;
  CreateItemMoniker("", displayName, moniker.Put());
  EXPECT_EQ(rot->IsRunning(moniker.Get()), S_OK);
  ComPtr<IUnknown> object;
  EXPECT_EQ(rot->GetObject(moniker.Get(), object.Put()), S_OK);
  EXPECT_TRUE(IsSameObject(object.Get(), graph.Get()));
  EXPECT_EQ(rot->Revoke(cookie), S_OK);
  EXPECT_EQ(rot->Revoke(cookie), E_INVALIDARG);
  EXPECT_TRUE(ListRunningObjects().empty());
}

TEST_F(RunningGraphTable, EntriesOfDeadProcesses_areSkippedAndRemoved) {
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);  // a pid that certainly belongs to no process now
  std::filesystem::create_directories(RunningObjectFolder());
  std::string stale = RunningObjectFolder() + "/" + std::to_string(child) + "-1.txt";
  std::ofstream(stale) << "!FilterGraph 00000000 pid 00000000\nstate Running\n";
  EXPECT_TRUE(ListRunningObjects().empty());
  EXPECT_FALSE(std::filesystem::exists(stale));
}

TEST_F(RunningGraphTable, Tool_listsTheGraphs_andPrintsOne) {
  BuildGeneratorGraph({TestVideoType(MEDIASUBTYPE_YUY2), TestAudioType()}, kSecond, kFrame);
  uint32_t cookie = Register();
  std::string list = RunTool("");
  EXPECT_NE(list.find(displayName.substr(1)), std::string::npos) << list;
  std::string shown = RunTool("1");
  EXPECT_NE(shown.find("filter \"Renderer 1\""), std::string::npos) << shown;
  EXPECT_NE(shown.find("Audio/PCM format WaveFormatEx 18 bytes"), std::string::npos) << shown;
  EXPECT_NE(RunTool("7").find("no graph 7"), std::string::npos);
  ComPtr<IRunningObjectTable> rot;
  GetRunningObjectTable(0, rot.Put());
  rot->Revoke(cookie);
  EXPECT_NE(RunTool("").find("no running graphs"), std::string::npos);
}

}  // namespace
}  // namespace kv::testing
