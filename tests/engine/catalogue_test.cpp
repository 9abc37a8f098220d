// The component catalogue: GUID text, mask merging, decoder order, filter strings, loading.
#include "engine/catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "platform/ini/ini_file.h"

namespace kv {
namespace {

TEST(TextToGUID, parsesRegistryForm_andRefusesOtherLengths) {
  struct Row {
    std::string text;
    std::string expected;
  } rows[] = {
      {"{083863F1-70DE-11D0-BD40-00A0C911CE86}", "{083863F1-70DE-11D0-BD40-00A0C911CE86}"},
      {"{083863f1-70de-11d0-bd40-00a0c911ce86}", "{083863F1-70DE-11D0-BD40-00A0C911CE86}"},
      // Without braces (36 characters), 37 and 39 characters: no GUID.
      {"083863F1-70DE-11D0-BD40-00A0C911CE86", "{00000000-0000-0000-0000-000000000000}"},
      {"{083863F1-70DE-11D0-BD40-00A0C911CE8}", "{00000000-0000-0000-0000-000000000000}"},
      {"{083863F1-70DE-11D0-BD40-00A0C911CE860}", "{00000000-0000-0000-0000-000000000000}"},
      // A stray character inside a group is skipped: that group has one digit fewer.
      {"{0838G3F1-70DE-11D0-BD40-00A0C911CE86}", ""},
      {"", "{00000000-0000-0000-0000-000000000000}"},
  };
  rows[5].expected = "{008383F1-70DE-11D0-BD40-00A0C911CE86}";
  for (const auto& row : rows) EXPECT_EQ(GuidToString(TextToGUID(row.text)), row.expected) << row.text;
}

TEST(MergeMaskList, dropsLaterRepeats_caseSensitively) {
  std::pair<std::string, std::string> rows[] = {
      {"", ""},
      {"*.AVI", "*.AVI"},
      {"*.AVI;*.MPG;*.AVI", "*.AVI;*.MPG"},
      {"*.AVI;*.avi", "*.AVI;*.avi"},
      {"*.A;;*.B;;*.A", "*.A;;*.B"},
  };
  for (const auto& [in, out] : rows) EXPECT_EQ(MergeMaskList(in), out) << in;
}

TDecoderList Decoders(std::initializer_list<std::pair<const char*, int>> entries) {
  TDecoderList list;
  for (auto [name, prio] : entries) {
    auto d = std::make_unique<TDecoderDesc>();
    d->Name = name;
    d->Priority = prio;
    list.push_back(std::move(d));
  }
  return list;
}

std::string Order(const TDecoderList& list) {
  std::string s;
  for (const auto& d : list) s += d->Name;
  return s;
}

TEST(SortDecoders, exchangeSortOrdersHighestFirst_andSwapsTies) {
  auto list = Decoders({{"A", 1}, {"B", 1}, {"C", 5}});
  SortDecoders(list);
  EXPECT_EQ(Order(list), "CBA");
  list = Decoders({{"A", 3}, {"B", 7}, {"C", 5}, {"D", 7}});
  SortDecoders(list);
  EXPECT_EQ(Order(list), "BDCA");
  list = Decoders({});
  SortDecoders(list);
  EXPECT_EQ(Order(list), "");
}

TContainerDesc Container(const std::string& ext, const std::string& description) {
  TContainerDesc d;
  d.Extension = ext;
  d.Description = description;
  return d;
}

TEST(TCatalogue, videoFilterAndMask_followTheDescriptorText) {
  TCatalogue c;
  c.AddVideoContainer(Container("AVI,DIVX", "Movies"));
  c.AddVideoContainer(Container("MPG", "Mpeg"));
  c.AddVideoContainer(Container("MPG", "Again"));  // same extension text: listed, not shown
  c.FinishVideoContainers();
  EXPECT_EQ(c.VideoContainers.size(), 3u);
  EXPECT_EQ(c.VideoFileFilter, "Movies (*.avi,*.divx)|*.AVI;*.DIVX|Mpeg (*.mpg)|*.MPG");
  EXPECT_EQ(c.VideoFileMask, "*.AVI;*.DIVX;*.MPG");
  EXPECT_EQ(c.OpenDialogFilter(),
            "All media|*.AVI;*.DIVX;*.MPG|Movies (*.avi,*.divx)|*.AVI;*.DIVX|Mpeg (*.mpg)|*.MPG|All files|*.*");
}

TEST(TCatalogue, extensionInsideEarlierDescription_isNotAddedToFilter) {
  TCatalogue c;
  c.AddVideoContainer(Container("MKV", "OGM and MP4 files"));
  c.AddVideoContainer(Container("MP4", "Mpeg-4"));
  c.FinishVideoContainers();
  EXPECT_EQ(c.VideoFileFilter, "OGM and MP4 files (*.mkv)|*.MKV");
  // The mask test runs on the mask alone, which does not hold "MP4" yet.
  EXPECT_EQ(c.VideoFileMask, "*.MKV;*.MP4");
}

TEST(TCatalogue, maskMergesRepeatsOfOverlappingLists) {
  TCatalogue c;
  c.AddVideoContainer(Container("AVI,DIVX", "A"));
  c.AddVideoContainer(Container("MPG,AVI", "B"));
  // The repeat test looks for the Extension text as written; a comma list never occurs in
  // the strings (they hold ";*." between names), so a second identical list is added again
  // to the filter and only the mask merge removes its repeats.
  c.AddVideoContainer(Container("AVI,DIVX", "C"));
  c.FinishVideoContainers();
  EXPECT_EQ(c.VideoFileMask, "*.AVI;*.DIVX;*.MPG");
  EXPECT_EQ(c.VideoFileFilter, "A (*.avi,*.divx)|*.AVI;*.DIVX|B (*.mpg,*.avi)|*.MPG;*.AVI|C (*.avi,*.divx)|*.AVI;*.DIVX");
}

TEST(TCatalogue, audioFilterHasNoRepeatTest) {
  TCatalogue c;
  c.AddAudioContainer(Container("X", "D1"));
  c.AddAudioContainer(Container("Y,Z", "D2"));
  c.AddAudioContainer(Container("X", "D3"));
  c.FinishAudioContainers();
  EXPECT_EQ(c.AudioFileFilter, "D1|*.X|D2|*.Y;*.Z|D3|*.X");
  EXPECT_EQ(c.AudioFileMask, "*.X;*.Y;*.Z");
}

TEST(TCatalogue, fileKindIsASubstringTestOnTheUpperCasedExtension) {
  TCatalogue c;
  c.AddVideoContainer(Container("MPEG", "Mpeg"));
  c.AddVideoContainer(Container("ogm", "Lower case"));
  c.AddAudioContainer(Container("MP3,WAV", "Sound"));
  struct Row {
    const char* file;
    bool video, audio;
  } rows[] = {
      {"/m/a.mpeg", true, false}, {"/m/a.MPE", true, false}, {"/m/a.peg", true, false},
      {"/m/a.eg", true, false},   {"/m/a.ogm", false, false}, {"/m/a.mp3", false, true},
      {"/m/a.Wav", false, true},  {"/m/noext", false, false}, {"/m.dir/noext", false, false},
      {"/m/a.", false, false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(c.IsVideoFile(r.file), r.video) << r.file;
    EXPECT_EQ(c.IsAudioFile(r.file), r.audio) << r.file;
  }
}

class TMapProfile : public IProfileValues {
 public:
  explicit TMapProfile(const std::string& text) : file_(ini::TIniFile::FromText(text)) {}
  std::string ReadString(const std::string& s, const std::string& k, const std::string& d) override {
    return file_.ReadString(s, k, d);
  }
  int32_t ReadInteger(const std::string& s, const std::string& k, int32_t d) override {
    return file_.ReadInteger(s, k, d);
  }

 private:
  ini::TIniFile file_;
};

TEST(ReadDecoderDescs, formatsEndAtTheFirstMissingKey) {
  TMapProfile f(
      "[main]\nname=Dec\npriority=0x10\n[Decoder]\nName=FFmpeg Video\n"
      "GUID={11111111-2222-3333-4444-555555555555}\n"
      "[Formats]\n1={58564944-0000-0010-8000-00AA00389B71}\n2={30355844-0000-0010-8000-00AA00389B71}\n"
      "4={34504D46-0000-0010-8000-00AA00389B71}\n");
  auto list = ReadDecoderDescs(f);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Name, "Dec");
  EXPECT_EQ(list[0].Priority, 16);
  EXPECT_EQ(list[1].DecoderName, "FFmpeg Video");
  EXPECT_EQ(GuidToString(list[1].Format), "{30355844-0000-0010-8000-00AA00389B71}");
  EXPECT_EQ(GuidToString(list[1].DecoderGUID), "{11111111-2222-3333-4444-555555555555}");
}

TEST(ReadContainerDesc, defaultsAndMalformedValues) {
  TMapProfile f("[Main]\nExtension=AVI\nPriority=abc\n[Source]\nGUID=11111111-2222-3333-4444-555555555555\n");
  TContainerDesc d = ReadContainerDesc(f, true);
  EXPECT_EQ(d.Extension, "AVI");
  EXPECT_EQ(d.Priority, 0);
  EXPECT_TRUE(d.Statistics);
  EXPECT_FALSE(d.SourceIsSplitter);
  EXPECT_EQ(d.SourceGUID, GUID_NULL);
  TMapProfile g("[Main]\nStatistics=0\n[Source]\nSplitter=1\n[Video Renderer]\nName=R\n"
                "Category={860BB310-5D01-11D0-BD3B-00A0C911CE86}\n");
  d = ReadContainerDesc(g, true);
  EXPECT_FALSE(d.Statistics);
  EXPECT_TRUE(d.SourceIsSplitter);
  EXPECT_EQ(d.RendererName, "R");
  EXPECT_EQ(GuidToString(d.RendererCategory), "{860BB310-5D01-11D0-BD3B-00A0C911CE86}");
  std::string longText(300, 'x');
  TMapProfile h("[Main]\nDescription=" + longText + "\n");
  EXPECT_EQ(ReadContainerDesc(h, false).Description.size(), 255u);
}

TEST(TCatalogue, loadsFoldersInKindOrder_andToleratesMissingFolders) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("kv_catalogue_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  TCatalogue empty;
  empty.Load(dir.string());
  EXPECT_TRUE(empty.VideoContainers.empty());
  EXPECT_EQ(empty.VideoFileMask, "");
  fs::create_directories(dir / "Containers");
  fs::create_directories(dir / "Decoders");
  auto write = [&](const std::string& rel, const std::string& text) { std::ofstream(dir / rel) << text; };
  write("Containers/b.vc", "[Main]\nExtension=MPG\nDescription=Mpeg\n");
  write("Containers/a.VC", "[Main]\nExtension=AVI\nDescription=Avi\n");
  write("Containers/c.ac", "[Main]\nExtension=MP3\nDescription=Mp3\n");
  write("Containers/readme.txt", "[Main]\nExtension=TXT\n");
  write("Decoders/low.vd", "[Main]\nName=Low\nPriority=1\n[Formats]\n1={58564944-0000-0010-8000-00AA00389B71}\n");
  write("Decoders/high.vd", "[Main]\nName=High\nPriority=9\n[Formats]\n1={58564944-0000-0010-8000-00AA00389B71}\n");
  write("Decoders/pcm.ad", "[Main]\nName=PCM\n[Formats]\n1={00000001-0000-0010-8000-00AA00389B71}\n");
  TCatalogue c;
  c.Load(dir.string());
  ASSERT_EQ(c.VideoContainers.size(), 2u);
  EXPECT_EQ(c.VideoContainers[0]->Extension, "AVI");
  EXPECT_EQ(c.VideoFileMask, "*.AVI;*.MPG");
  ASSERT_EQ(c.VideoDecoders.size(), 2u);
  EXPECT_EQ(c.VideoDecoders[0]->Name, "High");
  ASSERT_EQ(c.AudioContainers.size(), 1u);
  ASSERT_EQ(c.AudioDecoders.size(), 1u);
  EXPECT_EQ(c.AudioDecoders[0]->DecoderGUID, GUID_NULL);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace kv
