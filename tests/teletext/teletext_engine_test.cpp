// The teletext decoder module in real graphs: the engine opens generated transport streams
// with DVB teletext, the decoder is loaded from Components/Filters/ like any module, and
// the engine's teletext operations select, page and save pages. Also the pin scan: a
// teletext stream is never taken as the video.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>

#include "debugsup/debugsup.h"
#include "engine/contrl.h"
#include "lib/engine_events.h"
#include "filters/builtin/builtin_filters.h"
#include "filters/teletext/page_cache.h"
#include "filters/teletext/page_picture.h"
#include "platform/graph/filter_graph.h"
#include "platform/ui/messagebox.h"
#include "ts_writer.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the decoder must show of a page: our label in columns 0..7 of the header, the
// header text, then the rows as written (attributes show as spaces), 40 columns each.
std::vector<std::string> ExpectedLines(const test::TTeletextPageText& page) {
  char label[8];
  std::snprintf(label, sizeof label, "P%03X", page.page);
  std::string header = " " + std::string(label) + "   " + page.header;
  header.resize(40, ' ');
  std::vector<std::string> lines = {header};
  for (std::string row : page.rows) {
    for (char& c : row)
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    row.resize(40, ' ');
    lines.push_back(row);
  }
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

class TeletextEngineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/kavello-teletext-XXXXXX";
    root_ = mkdtemp(tmpl);
    CoInitialize();
    RegisterBuiltinFilters(false);
    modules_ = LoadComponentFilters(KAVELLO_PROGRAM_DIR);
    test::TTsWriterOptions o;
    o.pages = test::StandardPages();
    o.audio = false;
    o.seconds = 4;
    ASSERT_TRUE(test::WriteTeletextTs((root_ / "news.ts").string(), o));
    o.audio = true;
    o.teletextFirst = true;
    o.seconds = 2;
    ASSERT_TRUE(test::WriteTeletextTs((root_ / "teletext_first.ts").string(), o));
    o.video = false;
    ASSERT_TRUE(test::WriteTeletextTs((root_ / "radio.ts").string(), o));
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void SetUp() override {
    ui::SetMessageBoxHandler([this](const std::string& text, const std::string&) { boxes.push_back(text); });
    saved_ = root_ / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(saved_);
  }
  void TearDown() override { ui::SetMessageBoxHandler({}); }

  std::unique_ptr<TCOMPlay> Engine(const std::string& renderer) {
    auto e = std::make_unique<TCOMPlay>(nullptr, KAVELLO_PROGRAM_DIR);
    e->ChangeVideoRenderer(renderer);
    e->UseClock = false;
    events_.Attach(*e);
    return e;
  }
  bool RunToEnd(TCOMPlay& e) { return events_.RunToEnd(e); }
  // Saves the page on screen as text and returns the file's text ("" when not saved).
  std::string SavedText(TCOMPlay& e) {
    e.TeletextSaveAs = 1;
    const std::string result = e.SaveTeletextPage();
    const std::string suffix = " saved";
    if (result.size() <= suffix.size() || result.compare(result.size() - suffix.size(), suffix.size(), suffix))
      return "";
    return ReadAll(result.substr(0, result.size() - suffix.size()));
  }
  int32_t Page(TCOMPlay& e) {
    int32_t page = 0, subpage = 0;
    e.Teletext->GetPage(&page, &subpage);
    return page;
  }
  std::set<std::string> SavedFiles() {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(saved_)) names.insert(entry.path().filename().string());
    return names;
  }

  static inline fs::path root_;
  static inline int modules_ = 0;
  fs::path saved_;
  std::vector<std::string> boxes;
  test::TEngineEvents events_;
};

TEST_F(TeletextEngineTest, DecoderShowsPagesAsWritten_pagesByDigitsAndByNextPrev) {
  ASSERT_GE(modules_, 1) << "the teletext module was not loaded from Components/Filters";
  auto e = Engine("Video Mixing Renderer 7");
  e->OpenVideo((root_ / "news.ts").string());
  ASSERT_EQ(e->State, psOpened);
  ASSERT_TRUE(e->TeletextActive);
  ASSERT_TRUE(e->Teletext);
  EXPECT_EQ(e->VideoStreams, (std::vector<std::string>{"Video", "Teletext [eng]"}));
  EXPECT_EQ(e->VideoStreamName, "Video") << "the teletext pin is never the video stream";
  EXPECT_EQ(e->VideoCodec, "MPEG-2");
  ASSERT_TRUE(RunToEnd(*e));

  const auto pages = test::StandardPages();
  EXPECT_FALSE(e->TeletextShown) << "files open with teletext hidden";
  ASSERT_TRUE(e->ShowTeletextPage(true));
  EXPECT_TRUE(e->TeletextShown);
  int32_t page = 0, subpage = 0;
  ASSERT_EQ(e->Teletext->GetPage(&page, &subpage), S_OK);
  EXPECT_EQ(page, 0x100);
  EXPECT_EQ(subpage, 0x3F7F);
  e->TeletextDirectory = saved_.string();
  e->TeletextFilename = 2;
  EXPECT_EQ(SavedText(*e), Joined(ExpectedLines(pages[0])));
  EXPECT_TRUE(fs::exists(saved_ / "P100-S3F7F.ttx"));

  for (int d : {1, 0, 1}) e->PutTeletextDigit(d);
  EXPECT_EQ(Page(*e), 0x101);
  EXPECT_EQ(SavedText(*e), Joined(ExpectedLines(pages[1])));

  // Next and previous walk the pages present: 100, 101, 102, 200, round again.
  EXPECT_TRUE(e->TeletextNextPage());
  EXPECT_EQ(Page(*e), 0x102);
  EXPECT_EQ(SavedText(*e), Joined(ExpectedLines(pages[2])));
  e->TeletextNextPage();
  EXPECT_EQ(Page(*e), 0x200);
  e->TeletextNextPage();
  EXPECT_EQ(Page(*e), 0x100);
  e->TeletextPrevPage();
  EXPECT_EQ(Page(*e), 0x200);

  // A page not on air is selected all the same (its header searches); it cannot be saved.
  for (int d : {3, 3, 3}) e->PutTeletextDigit(d);
  EXPECT_EQ(Page(*e), 0x333);
  EXPECT_EQ(e->SaveTeletextPage(), "Error saving");
  // A first digit of 9 is no magazine and is ignored.
  for (int d : {9, 1, 0, 2}) e->PutTeletextDigit(d);
  EXPECT_EQ(Page(*e), 0x102);
  e->Stop();
  EXPECT_TRUE(boxes.empty());
}

TEST_F(TeletextEngineTest, SavedFiles_rawPacketsReDecode_bitmapHasThePageColours_htmlAndAllPages) {
  auto e = Engine("Video Mixing Renderer 7");
  e->OpenVideo((root_ / "news.ts").string());
  ASSERT_TRUE(e->TeletextActive);
  ASSERT_TRUE(RunToEnd(*e));
  ASSERT_TRUE(e->ShowTeletextPage(true));
  for (int d : {1, 0, 2}) e->PutTeletextDigit(d);
  e->TeletextDirectory = saved_.string();
  e->TeletextFilename = 2;

  // Raw packets: a fresh decoder reads the page again from the file.
  e->TeletextSaveAs = 2;
  EXPECT_EQ(e->SaveTeletextPage(), (saved_ / "P102-S3F7F.ttx").string() + " saved");
  const std::string raw = ReadAll(saved_ / "P102-S3F7F.ttx");
  ASSERT_FALSE(raw.empty());
  ASSERT_EQ(raw.size() % 42, 0u);
  std::vector<teletext::TPacket> packets(raw.size() / 42);
  for (size_t i = 0; i < packets.size(); ++i) std::memcpy(packets[i].data(), raw.data() + i * 42, 42);
  packets.push_back(test::HeaderPacket(0x1FF, 0x3F7F, ""));  // the next header ends the page
  teletext::TTeletextPageCache again;
  again.FeedPackets(packets);
  teletext::TFetchedPage decoded;
  ASSERT_TRUE(again.Fetch(0x102, 0x3F7F, &decoded));
  std::vector<std::string> text = teletext::PageText(decoded.Get());
  std::vector<std::string> expected = ExpectedLines(test::StandardPages()[2]);
  ASSERT_EQ(text.size(), 25u);
  for (int row = 1; row < 25; ++row) EXPECT_EQ(text[row], expected[row]) << "row " << row;

  // The bitmap: 480 x 250, 24 bits, with the red and yellow of the two coloured rows.
  e->TeletextSaveAs = 0;
  EXPECT_EQ(e->SaveTeletextPage(), (saved_ / "P102-S3F7F.bmp").string() + " saved");
  const std::string bmp = ReadAll(saved_ / "P102-S3F7F.bmp");
  ASSERT_EQ(bmp.size(), 54u + 480 * 250 * 3);
  auto u32 = [&](size_t at) { return uint32_t(uint8_t(bmp[at])) | uint32_t(uint8_t(bmp[at + 1])) << 8 |
                                     uint32_t(uint8_t(bmp[at + 2])) << 16 | uint32_t(uint8_t(bmp[at + 3])) << 24; };
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(u32(18), 480u);
  EXPECT_EQ(u32(22), 250u);
  EXPECT_EQ(uint8_t(bmp[28]), 24);
  auto countColour = [&](int textRow, uint8_t r, uint8_t g, uint8_t b) {
    int n = 0;
    for (int y = textRow * 10; y < textRow * 10 + 10; ++y) {
      const size_t line = 54 + static_cast<size_t>(249 - y) * 480 * 3;  // bottom row first
      for (int x = 0; x < 480; ++x) {
        const size_t p = line + static_cast<size_t>(x) * 3;
        n += uint8_t(bmp[p]) == b && uint8_t(bmp[p + 1]) == g && uint8_t(bmp[p + 2]) == r;
      }
    }
    return n;
  };
  EXPECT_GT(countColour(2, 255, 0, 0), 50) << "the red row";
  EXPECT_EQ(countColour(2, 255, 255, 0), 0);
  EXPECT_GT(countColour(3, 255, 255, 0), 50) << "the yellow row";
  EXPECT_GT(countColour(1, 255, 255, 255), 50) << "white text";

  // HTML with the colours.
  e->TeletextSaveAs = 3;
  EXPECT_EQ(e->SaveTeletextPage(), (saved_ / "P102-S3F7F.html").string() + " saved");
  const std::string html = ReadAll(saved_ / "P102-S3F7F.html");
  EXPECT_NE(html.find("Colour page"), std::string::npos);
  EXPECT_NE(html.find("color:#FF0000;background:#000000\">Red row"), std::string::npos);

  // All pages: one text file of 4 x 25 lines, then one file a page.
  e->TeletextSaveAs = 1;
  e->TeletextAllToOne = true;
  e->TeletextFilename = 0;
  const std::set<std::string> before = SavedFiles();
  EXPECT_EQ(e->SaveTeletextPages(), "Pages saved");
  std::set<std::string> added;
  for (const auto& n : SavedFiles())
    if (!before.count(n)) added.insert(n);
  ASSERT_EQ(added, std::set<std::string>{"news-.ttx"});
  std::string all;
  for (const auto& p : test::StandardPages()) all += Joined(ExpectedLines(p));
  EXPECT_EQ(ReadAll(saved_ / "news-.ttx"), all);
  e->TeletextAllToOne = false;
  EXPECT_EQ(e->SaveTeletextPages(), "Pages saved");
  for (const char* name : {"news-P100-S0000.ttx", "news-P101-S0000.ttx", "news-P102-S0000.ttx", "news-P200-S0000.ttx"})
    EXPECT_TRUE(fs::exists(saved_ / name)) << name;

  // Saving all pages as bitmaps does nothing and shows nothing.
  e->TeletextSaveAs = 0;
  const std::set<std::string> beforeBitmaps = SavedFiles();
  EXPECT_EQ(e->SaveTeletextPages(), "");
  EXPECT_EQ(SavedFiles(), beforeBitmaps);
  e->Stop();
}

TEST_F(TeletextEngineTest, EmptyDirectoryWithFilenameMode2_savesP100S3F7FHtmlInTheCurrentFolder) {
  auto e = Engine("Video Mixing Renderer 7");
  e->OpenVideo((root_ / "news.ts").string());
  ASSERT_TRUE(e->TeletextActive);
  ASSERT_TRUE(RunToEnd(*e));
  ASSERT_TRUE(e->ShowTeletextPage(true));
  const fs::path cwd = fs::current_path();
  fs::current_path(saved_);
  e->TeletextDirectory.clear();
  e->TeletextFilename = 2;
  e->TeletextSaveAs = 3;
  EXPECT_EQ(e->SaveTeletextPage(), "P100-S3F7F.html saved");
  fs::current_path(cwd);
  EXPECT_TRUE(fs::exists(saved_ / "P100-S3F7F.html"));
  e->Stop();
}

TEST_F(TeletextEngineTest, RendererThatCannotMix_leavesTeletextOff_andTheLogSaysWhy) {
  auto e = Engine("Video Renderer");
  Debug.SetFileName((saved_ / "kavello.log").string());
  Debug.Enabled = true;
  e->OpenVideo((root_ / "news.ts").string());
  Debug.Enabled = false;
  EXPECT_NE(ReadAll(saved_ / "kavello.log").find("Teletext off: \"Video Renderer\" cannot mix a second picture"),
            std::string::npos);
  ASSERT_EQ(e->State, psOpened);
  EXPECT_FALSE(e->TeletextActive);
  EXPECT_FALSE(e->Teletext);
  const auto names = e->FilterNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "Teletext decoder"), 0);
  EXPECT_FALSE(e->ShowTeletextPage(true));
  EXPECT_FALSE(e->TeletextNextPage());
  EXPECT_EQ(e->SaveTeletextPage(), "");
  EXPECT_TRUE(boxes.empty());
}

// The pin scan: the teletext pin listed first must not become the video stream, and a
// radio recording with teletext opens as audio. Analysis engines decode every video pin
// they take, so a teletext pin taken as video would fail with the decoder error.
TEST_F(TeletextEngineTest, TeletextPinFirst_playsTheVideo_radioWithTeletextOpensAsAudio) {
  auto e = std::make_unique<TCOMPlay>(nullptr, KAVELLO_PROGRAM_DIR);
  e->NullRenderers = true;
  e->ImageAnalysisWanted = true;
  e->OpenVideo((root_ / "teletext_first.ts").string());
  EXPECT_EQ(e->State, psOpened);
  EXPECT_EQ(e->VideoStreams, (std::vector<std::string>{"Teletext [eng]", "Video"}));
  EXPECT_EQ(e->VideoStreamName, "Video");
  EXPECT_EQ(e->VideoCodec, "MPEG-2");
  EXPECT_EQ(e->VideoWidth, 480);
  EXPECT_EQ(e->AudioStreams.size(), 1u);

  e->OpenVideo((root_ / "radio.ts").string());
  EXPECT_EQ(e->State, psOpened);
  EXPECT_FALSE(e->FileName.empty());
  EXPECT_EQ(e->VideoStreams, std::vector<std::string>{"Teletext [eng]"});
  EXPECT_EQ(e->VideoStreamName, "");
  EXPECT_EQ(e->VideoWidth, 0);
  EXPECT_EQ(e->AudioStreams.size(), 1u);
  EXPECT_EQ(e->SampleRate, 48000);
  EXPECT_TRUE(boxes.empty()) << boxes.front();
}

// A recording decoder stands in where the test must see which calls the engine makes.
class TRecordingDecoder : public ITeletextDecoder {
 public:
  HRESULT QueryInterface(const IID&, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetPage(int32_t* page, int32_t* subpage) override {
    *page = 0x100;
    *subpage = 0x3F7F;
    return S_OK;
  }
  HRESULT PutPageDigit(int32_t digit, int32_t) override { digits.push_back(digit); return S_OK; }
  HRESULT NextPage(int32_t) override { return S_OK; }
  HRESULT PrevPage(int32_t) override { return S_OK; }
  HRESULT PutPage(int32_t, int32_t) override { return S_OK; }
  HRESULT SetTransparent(int32_t on) override { transparent.push_back(on); return S_OK; }
  HRESULT ShowTeletext(int32_t) override { return S_OK; }
  HRESULT GetShown(int32_t*) override { return S_OK; }
  HRESULT SavePages(int32_t flags, int32_t, int32_t, const char* name) override {
    saves.push_back({flags, name});
    return saveResult;
  }
  HRESULT Reserved10() override { return E_NOTIMPL; }
  HRESULT Reserved11() override { return E_NOTIMPL; }
  HRESULT Reserved12() override { return E_NOTIMPL; }
  HRESULT Reserved13() override { return E_NOTIMPL; }
  HRESULT Reserved14() override { return E_NOTIMPL; }
  HRESULT Reserved15() override { return E_NOTIMPL; }
  std::vector<int32_t> digits, transparent;
  std::vector<std::pair<int32_t, std::string>> saves;
  HRESULT saveResult = S_OK;
};

TEST_F(TeletextEngineTest, EngineCallsAndFlags_transparencyOnlyOnChange_saveResultsToOsdTexts) {
  TCOMPlay e(nullptr, KAVELLO_PROGRAM_DIR);
  TRecordingDecoder decoder;
  e.Teletext = ComPtr<ITeletextDecoder>(&decoder);
  e.TeletextActive = true;
  e.FileName = "/media/evening news.ts";

  e.SetTeletextTransparent(false);  // already opaque: no call
  e.SetTeletextTransparent(true);
  e.SetTeletextTransparent(true);
  EXPECT_EQ(decoder.transparent, std::vector<int32_t>{1});

  e.PutTeletextDigit(5);
  EXPECT_EQ(decoder.digits, std::vector<int32_t>{5});

  e.TeletextDirectory = "/pages";
  e.TeletextFilename = 0;
  e.TeletextSaveAs = 3;
  EXPECT_EQ(e.SaveTeletextPage(), "/pages/evening news-P100-S3F7F.html saved");
  ASSERT_EQ(decoder.saves.size(), 1u);
  EXPECT_EQ(decoder.saves[0].first, 64);
  e.TeletextSaveAs = 2;
  e.TeletextAllToOne = true;
  EXPECT_EQ(e.SaveTeletextPages(), "Pages saved");
  EXPECT_EQ(decoder.saves.back(), (std::pair<int32_t, std::string>{48 + 3, "/pages/evening news-.ttx"}));
  e.TeletextAllToOne = false;
  decoder.saveResult = E_NOTIMPL;
  EXPECT_EQ(e.SaveTeletextPages(), "Not implemented");
  EXPECT_EQ(decoder.saves.back().first, 48 + 2);
  decoder.saveResult = E_FAIL;
  e.TeletextSaveAs = 1;
  EXPECT_EQ(e.SaveTeletextPage(), "Error saving");
  const size_t calls = decoder.saves.size();
  e.TeletextSaveAs = 4;  // outside 0..3: nothing is saved
  EXPECT_EQ(e.SaveTeletextPage(), "");
  e.TeletextSaveAs = 0;
  EXPECT_EQ(e.SaveTeletextPages(), "");
  EXPECT_EQ(decoder.saves.size(), calls);
  e.Teletext = nullptr;
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// Damaged teletext data (truncated units, lengths past the end, noise, another data
// identifier) is skipped without harm, and good data after it still makes pages.
TEST(TeletextPageCacheTest, MalformedPayloadsAreSkipped_goodDataStillMakesPages) {
  teletext::TTeletextPageCache cache;
  std::vector<uint8_t> noise(4000);
  uint32_t seed = 12345;
  for (int round = 0; round < 200; ++round) {
    for (auto& b : noise) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    noise[0] = 0x10;
    cache.FeedPes(noise.data(), (seed >> 8) % noise.size());
  }
  const uint8_t truncated[] = {0x10, 0x02, 0x2C, 0xE4, 0xE4, 0x01};
  EXPECT_EQ(cache.FeedPes(truncated, sizeof truncated), 0);
  const uint8_t otherData[] = {0x99, 0x02, 0x2C};
  EXPECT_EQ(cache.FeedPes(otherData, sizeof otherData), 0);
  EXPECT_EQ(cache.FeedPes(nullptr, 10), 0);

  std::vector<teletext::TPacket> packets = {test::HeaderPacket(0x305, 0, "HEADER"),
                                            test::RowPacket(3, 1, "Row one of page 305"),
                                            test::HeaderPacket(0x3FF, 0x3F7F, "")};
  cache.FeedPackets(packets);
  EXPECT_TRUE(cache.Pages().count(0x305));
  teletext::TFetchedPage page;
  ASSERT_TRUE(cache.Fetch(0x305, 0x3F7F, &page));
  EXPECT_EQ(teletext::PageText(page.Get())[1].substr(0, 19), "Row one of page 305");
  EXPECT_EQ(cache.RawPackets(0x305).size(), 2u);
}

}  // namespace
}  // namespace kv
