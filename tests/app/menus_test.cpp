// The menus built at run time, on the real main window offscreen with a private sound
// server: the audio submenu of a file with two audio streams and an ".mp3" beside it, the
// renderer check marks after a choice the engine refuses, the filter slot items for chains
// of 0, 1 and 5 plug-ins, and the first title's item, which the OSD menu does not offer.
#include <QAction>
#include <QMenu>
#include <QTimer>

#include <QListWidget>

#include "app/mainmenu.h"
#include "filt/filt.h"
#include "osd/osd_menu_source.h"
#include "player_window_fixture.h"
#include "settings/optunit.h"

namespace kv::test {
namespace {

class MenusTest : public PlayerWindowFixture {
 protected:
  static void SetUpTestSuite() {
    SetUpEnvironment();
    // Two audio streams (440 Hz and 880 Hz) and, beside the film, an external ".mp3".
    MakeMedia("film.mkv",
              "-f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 "
              "-f lavfi -i sine=frequency=880:sample_rate=48000 -t 3 -map 0:v -map 1:a -map 2:a "
              "-c:v mpeg4 -q:v 5 -c:a libvorbis");
    MakeMedia("music.mp3", "-f lavfi -i sine=frequency=660:sample_rate=44100 -t 3 -c:a libmp3lame");
    MakeMedia("second.avi", "-f lavfi -i testsrc2=size=320x240:rate=25 -t 2 -c:v mpeg4 -q:v 5");
  }
  static void TearDownTestSuite() { TearDownEnvironment(); }

  QMenu* Sub(const char* name) {
    QAction* a = form_->Action(name);
    return a ? a->menu() : nullptr;
  }
  // The window is started again with these registry lines (the settings are read at start).
  void Restart(const std::string& registry) {
    form_->close();
    form_.reset();
    WriteSettings(registry);
    SetUp();
  }
  static std::vector<std::string> Captions(QMenu* menu) {
    std::vector<std::string> out;
    for (QAction* a : menu->actions()) out.push_back(a->isSeparator() ? "-" : a->text().toStdString());
    return out;
  }
  static std::vector<std::string> Checked(QMenu* menu) {
    std::vector<std::string> out;
    for (QAction* a : menu->actions())
      if (a->isChecked()) out.push_back(a->text().toStdString());
    return out;
  }
};

TEST_F(MenusTest, AudioSubmenu_listsStreamsThenTheFilmAndTheExternalMp3_andFollowsTheChoice) {
  KV_REQUIRE_PULSE();
  form_->OpenFile(Media("film.mkv"));
  ASSERT_TRUE(form_->PlayCurrent());
  TCOMPlay* player = form_->Player.get();
  ASSERT_EQ(player->AudioStreams.size(), 2u);
  const std::string first = player->AudioStreams[0], second = player->AudioStreams[1];
  QMenu* audio = Sub("MMAudio");
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(Captions(audio), (std::vector<std::string>{first, second, "-", "film.mkv", "music.mp3"}));
  // The stream in use and the file the audio comes from are both marked.
  EXPECT_EQ(Checked(audio), (std::vector<std::string>{first, "film.mkv"}));
  // Stream items carry tag -1, the files their tree index.
  EXPECT_EQ(MenuTag(audio->actions()[0]), -1);
  EXPECT_EQ(MenuTag(audio->actions()[3]), form_->TitleIndex);

  audio->actions()[1]->trigger();
  EXPECT_EQ(player->AudioStreamName, second);
  audio = Sub("MMAudio");
  EXPECT_EQ(Checked(audio), (std::vector<std::string>{second, "film.mkv"}));
  // The properties window's audio texts and filter list follow the new audio.
  EXPECT_EQ(form_->MediaTexts.AudioFreq, "48000 Hz");

  audio->actions()[4]->trigger();
  EXPECT_EQ(player->AudioFileName, Media("music.mp3"));
  const std::vector<std::string> marked = Checked(Sub("MMAudio"));
  EXPECT_EQ(marked.back(), "music.mp3");
  EXPECT_EQ(std::count(marked.begin(), marked.end(), "film.mkv"), 0);
  EXPECT_EQ(form_->MediaTexts.AudioFreq, "44100 Hz");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(MenusTest, RendererChecks_followTheEnginesNames_afterARefusedChoice) {
  form_->OpenFile(Media("second.avi"));
  ASSERT_TRUE(form_->PlayCurrent());
  TCOMPlay* player = form_->Player.get();
  QMenu* video = Sub("MMVideoRenderers");
  ASSERT_NE(video, nullptr);
  ASSERT_FALSE(video->actions().isEmpty());
  const std::string current = player->VideoRendererName;
  // Choosing the renderer in use is refused by the engine: a click must not leave the item
  // unchecked (a checkable item flips its own mark when clicked).
  for (QAction* a : video->actions())
    if (a->text().toStdString() == current) a->trigger();
  EXPECT_EQ(player->VideoRendererName, current);
  EXPECT_EQ(Checked(video), std::vector<std::string>{current});

  // A choice the engine takes moves the mark and is what the settings keep.
  QAction* other = nullptr;
  for (QAction* a : video->actions())
    if (a->text() == "Video Mixing Renderer 7") other = a;
  ASSERT_NE(other, nullptr);
  other->trigger();
  EXPECT_EQ(player->VideoRendererName, "Video Mixing Renderer 7");
  EXPECT_EQ(Checked(video), std::vector<std::string>{"Video Mixing Renderer 7"});
  EXPECT_EQ(Options->VideoRenderer, "Video Mixing Renderer 7");
  // The properties window, opened from the menu, lists the graph with the new renderer.
  std::vector<std::string> listed;
  QTimer later;  // dies with this scope: never fires into another test
  later.setSingleShot(true);
  QObject::connect(&later, &QTimer::timeout, [&] {
    for (int i = 0; i < form_->FiltersForm->Filters->count(); ++i)
      listed.push_back(form_->FiltersForm->Filters->item(i)->text().toStdString());
    form_->FiltersForm->reject();
  });
  later.start(0);
  form_->Action("MMProperties")->trigger();
  EXPECT_EQ(listed, player->FilterNames());
  EXPECT_NE(std::find(listed.begin(), listed.end(), "Video Mixing Renderer 7"), listed.end());

  QMenu* audio = Sub("MMAudioRenderers");
  ASSERT_NE(audio, nullptr);
  const std::string sound = player->AudioRendererName;
  for (QAction* a : audio->actions())
    if (a->text().toStdString() == sound) a->trigger();
  EXPECT_EQ(Checked(audio), sound.empty() ? std::vector<std::string>{} : std::vector<std::string>{sound});
  EXPECT_EQ(Options->AudioRenderer, sound);
}

TEST_F(MenusTest, FilterSlotItems_visibleExactlyForChosenPlugins_captionedWithTheFileName) {
  auto visibleSlots = [&](const char* prefix) {
    std::vector<std::string> out;
    for (int k = 1; k <= 5; ++k) {
      QAction* a = form_->Action((prefix + std::to_string(k)).c_str());
      EXPECT_NE(a, nullptr);
      if (a && a->isVisible()) out.push_back(a->text().toStdString());
    }
    return out;
  };
  // No plug-ins: only "Configure" and the separator.
  EXPECT_TRUE(visibleSlots("VidFilter").empty());
  EXPECT_TRUE(visibleSlots("AudFilter").empty());
  for (const char* menu : {"MMFiltersVideo", "MMFiltersAudio"}) {
    int shown = 0;
    for (QAction* a : Sub(menu)->actions()) shown += a->isVisible();
    EXPECT_EQ(shown, 2) << menu;
  }
  EXPECT_EQ(form_->Action("VidFiltersConfigure")->text(), "Configure");

  // One video plug-in (a file name with an "&", shown as it stands) and five audio ones.
  Restart(
      "\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\VideoFilters]\r\n\"Filter1\"=\"Sharpen & Co\"\r\n"
      "\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\AudioFilters]\r\n\"Filter1\"=\"Echo1\"\r\n"
      "\"Filter2\"=\"Echo2\"\r\n\"Filter3\"=\"Echo3\"\r\n\"Filter4\"=\"Echo4\"\r\n\"Filter5\"=\"Echo5\"\r\n");
  EXPECT_EQ(visibleSlots("VidFilter"), std::vector<std::string>{"Sharpen && Co"});
  EXPECT_EQ(osd::PlainCaption(form_->Action("VidFilter1")->text()), "Sharpen & Co");
  EXPECT_EQ(visibleSlots("AudFilter"), (std::vector<std::string>{"Echo1", "Echo2", "Echo3", "Echo4", "Echo5"}));
  // The plug-ins are not in any graph: their items show nothing and change nothing.
  form_->Action("VidFilter1")->trigger();
  form_->Action("AudFilter5")->trigger();
  EXPECT_TRUE(messages_.empty());
  Restart("");
}

TEST_F(MenusTest, FirstTitleItem_hasTagZero_andIsNotOfferedByTheOsdMenu) {
  TPlaylist& list = form_->Playlist;
  list.Clear();
  list.AddTitle(Media("second.avi"));
  list.AddTitle(Media("film.mkv"));
  form_->CurrentFile = Media("second.avi");
  form_->TitleIndex = 0;
  form_->RebuildTitlesMenu();
  int titles = -1;
  const auto root = form_->MainMenu->actions();
  for (int i = 0; i < root.size(); ++i)
    if (root[i]->objectName() == "MMTitles") titles = i;
  ASSERT_GE(titles, 0);
  osd::TOsdMenuSource source(form_->MainMenu);
  const auto items = source.Level({titles});
  ASSERT_EQ(items.size(), 2u);
  EXPECT_FALSE(items[0].Listed);
  EXPECT_TRUE(items[1].Listed);
  EXPECT_EQ(MenuTag(Sub("MMTitles")->actions()[0]), 0);
}

TEST_F(MenusTest, OpeningThePopup_takesTheFocusFromTheControlPanel) {
  form_->PanelHasFocus = true;
  form_->MainMenu->popup(form_->mapToGlobal(QPoint(10, 10)));
  QApplication::processEvents();
  EXPECT_FALSE(form_->PanelHasFocus);
  form_->MainMenu->hide();
  // Menu images: every command of the playback submenu has one.
  for (QAction* a : Sub("MMPlayback")->actions()) {
    if (!a->isSeparator() && !a->objectName().startsWith("MMRate")) {
      EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
    }
  }
}

}  // namespace
}  // namespace kv::test
