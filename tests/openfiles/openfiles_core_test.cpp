// The logic under the open-files dialog, without widgets: the filter string from the
// catalogue, the mask test, the drop rules, and the playlist's change notices and restore.
#include <gtest/gtest.h>

#include "engine/catalogue.h"
#include "openfiles/file_filter.h"
#include "openfiles/folder_listing.h"
#include "openfiles/playlist_drop.h"
#include "playlist/playlist.h"

namespace kv {
namespace {

TCatalogue SmallCatalogue() {
  TCatalogue c;
  TContainerDesc avi;
  avi.Extension = "AVI,DIVX";
  avi.Description = "AVI files";
  c.AddVideoContainer(avi);
  TContainerDesc mkv;
  mkv.Extension = "MKV";
  mkv.Description = "Matroska";
  c.AddVideoContainer(mkv);
  c.FinishVideoContainers();
  TContainerDesc mp3;
  mp3.Extension = "MP3";
  mp3.Description = "MPEG audio";
  c.AddAudioContainer(mp3);
  c.FinishAudioContainers();
  return c;
}

TEST(OpenFilesFilter, IsBuiltFromTheCatalogueInItsFixedOrder) {
  const TCatalogue c = SmallCatalogue();
  EXPECT_EQ(OpenFilesFilter(c),
            "All supported media|*.AVI;*.DIVX;*.MKV;*.MP3;*.srt;*.txt;*.aqt;*.ssa;*.sub"
            "|All video media|*.AVI;*.DIVX;*.MKV|All audio media|*.MP3"
            "|AVI files (*.avi,*.divx)|*.AVI;*.DIVX|Matroska (*.mkv)|*.MKV|MPEG audio|*.MP3"
            "|Subtitles|*.srt;*.txt;*.aqt;*.ssa;*.sub|All files|*.*");
  const std::vector<TFilterEntry> entries = ParseFilter(OpenFilesFilter(c));
  ASSERT_EQ(entries.size(), 8u);
  EXPECT_EQ(entries[0].caption, "All supported media");
  EXPECT_EQ(entries[3].caption, "AVI files (*.avi,*.divx)");
  EXPECT_EQ(entries[3].masks, "*.AVI;*.DIVX");
  EXPECT_EQ(entries[7].masks, "*.*");
  EXPECT_EQ(ParseFilter("Only a caption").size(), 0u);
}

TEST(OpenFilesFilter, MasksMatchWithoutCaseAndWithWildcards) {
  struct Row {
    const char* name;
    const char* masks;
    bool match;
  } rows[] = {
      {"film.avi", "*.AVI;*.MKV", true},   {"FILM.Mkv", "*.avi;*.mkv", true},
      {"film.avi.part", "*.avi", false},    {"README", "*.*", true},
      {"a.srt", "*.sub;*.srt", true},       {"a.srtx", "*.srt", false},
      {"clip1.ts", "clip?.ts", true},       {"clip10.ts", "clip?.ts", false},
      {"x.avi", "", false},                 {"x.avi", ";;*.avi", true},
      {"aaaaaaaaaaaaaaaaaaab", "*a*a*a*a*b", true}, {"\xff\xfe.avi", "*.avi", true},
  };
  for (const Row& r : rows) EXPECT_EQ(MatchesMasks(r.name, r.masks), r.match) << r.name << " / " << r.masks;
}

TEST(PlaylistDrop, FollowsTheRulesForEmptySpaceTitlesAndChildren) {
  TPlaylist list;
  list.AddTitle("/m/a.avi");
  list.AddChild(0, "/m/a.srt");
  list.AddTitle("/m/b.avi");
  using D = TDropDecision;
  // Empty space: only video files, as new titles.
  EXPECT_EQ(DecideDrop(list, -1, true, false).action, D::AppendTitle);
  EXPECT_EQ(DecideDrop(list, -1, false, true).action, D::Refuse);
  EXPECT_EQ(DecideDrop(list, 99, false, true).action, D::Refuse);
  // A title: attachable files become its children, anything else a title at the end.
  EXPECT_EQ(DecideDrop(list, 2, false, true).action, D::AppendChild);
  EXPECT_EQ(DecideDrop(list, 2, false, true).title, 2);
  EXPECT_EQ(DecideDrop(list, 0, true, false).action, D::AppendTitle);
  EXPECT_EQ(DecideDrop(list, 0, false, false).action, D::AppendTitle);
  // A child: attachable files go to its title, anything else is refused.
  EXPECT_EQ(DecideDrop(list, 1, false, true).action, D::AppendChild);
  EXPECT_EQ(DecideDrop(list, 1, false, true).title, 0);
  EXPECT_EQ(DecideDrop(list, 1, true, false).action, D::Refuse);

  EXPECT_EQ(ApplyDrop(list, DecideDrop(list, 1, false, true), "/m/a.mp3"), 2);  // after a.srt
  EXPECT_EQ(ApplyDrop(list, DecideDrop(list, 0, true, false), "/m/c.avi"), 4);
  EXPECT_EQ(ApplyDrop(list, DecideDrop(list, -1, false, true), "/m/x.srt"), -1);
  std::vector<std::string> texts;
  for (const auto& n : list.Nodes()) texts.push_back((n.topLevel ? "" : "  ") + n.path);
  EXPECT_EQ(texts, (std::vector<std::string>{"/m/a.avi", "  /m/a.srt", "  /m/a.mp3", "/m/b.avi", "/m/c.avi"}));
}

struct CountingObserver : IPlaylistObserver {
  int before = 0, after = 0;
  void PlaylistAboutToChange() override { ++before; }
  void PlaylistChanged() override { ++after; }
};

TEST(PlaylistObserver, HearsEveryChangeAndRestoreGivesBackTheSameTree) {
  CountingObserver seen;  // outlives the list, which tells it when it goes
  TPlaylist list;
  list.SetObserver(&seen);
  list.AddTitle("/a.avi");
  list.AddChild(0, "/a.srt");
  const std::vector<TPlaylist::Node> backup = list.Nodes();
  list.AddTitle("/b.avi");
  list.Remove(0);
  EXPECT_EQ(list.AddChild(7, "/nowhere.srt"), -1);  // refused: no notice
  EXPECT_EQ(seen.before, 4);
  EXPECT_EQ(seen.after, 4);
  list.SetNodes(backup);
  EXPECT_EQ(list.Nodes(), backup);
  EXPECT_EQ(seen.after, 5);
  // A restored list never starts with an orphan child.
  list.SetNodes({{"/orphan.srt", false}, {"/t.avi", true}, {"/t.srt", false}});
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Text(0), "/t.avi");
  // A copy carries the nodes, not the observer.
  TPlaylist copy = list;
  copy.AddTitle("/c.avi");
  EXPECT_EQ(seen.after, 6);
  EXPECT_EQ(copy.Observer(), nullptr);
}

TEST(FolderListing, MountsAreSortedIntoVolumesNetworkSharesAndHelpers) {
  EXPECT_TRUE(IsUserVolume({"/", "overlay", "overlay", ""}));
  EXPECT_TRUE(IsNetworkMount({"/mnt/share", "//nas/films", "cifs", "films"}));
  EXPECT_TRUE(IsUserVolume({"/mnt/share", "//nas/films", "cifs", "films"}));
  EXPECT_FALSE(IsUserVolume({"/proc", "proc", "proc", ""}));
  EXPECT_FALSE(IsUserVolume({"/run/user/1000", "tmpfs", "tmpfs", ""}));
  EXPECT_FALSE(IsUserVolume({"/dev/shm", "tmpfs", "tmpfs", ""}));
  EXPECT_TRUE(IsRemovableMount({"/media/alice/USB", "/dev/sdb1", "vfat", "USB"}));
  EXPECT_FALSE(IsRemovableMount({"/home", "/dev/sda2", "ext4", ""}));
  EXPECT_TRUE(FolderNameLess("alpha", "Beta"));
  EXPECT_TRUE(FolderNameLess("B", "b")) << "ties broken by bytes, so the order is total";
  EXPECT_EQ(NormalizeFolderPath("/a/b//"), "/a/b");
  EXPECT_EQ(NormalizeFolderPath("/"), "/");
  EXPECT_EQ(JoinPath("/", "x"), "/x");
}

}  // namespace
}  // namespace kv
