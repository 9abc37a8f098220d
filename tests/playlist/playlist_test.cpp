#include "playlist/playlist.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(Playlist, OpenSingleTitle_attachesEverySubtitleAndAudioFileOfTheDirectory) {
  TPlaylist list;
  OpenSingleTitle(list, "/films/a.avi",
                  {"a.avi", "b.avi", "a.srt", "b.SUB", "notes.txt", "x.ssa", "y.aqt", "z.ass", "t.wav",
                   "u.MP3", "v.ac3", "w.wma", "o.ogg", "cover.jpg", "noext", ".srt.bak"});
  ASSERT_EQ(list.Count(), 12);
  EXPECT_EQ(list.Text(0), "/films/a.avi");
  EXPECT_TRUE(list.IsTopLevel(0));
  std::vector<std::string> children;
  for (int i : list.ChildrenOf(0)) children.push_back(list.Text(i));
  EXPECT_EQ(children, (std::vector<std::string>{"/films/a.srt", "/films/b.SUB", "/films/notes.txt",
                                                "/films/x.ssa", "/films/y.aqt", "/films/z.ass",
                                                "/films/t.wav", "/films/u.MP3", "/films/v.ac3",
                                                "/films/w.wma", "/films/o.ogg"}));
  EXPECT_EQ(list.Titles(), std::vector<int>{0});
}

TEST(Playlist, FlatIndexesPutChildrenAfterTheirTitle) {
  TPlaylist list;
  int a = list.AddTitle("/a.avi");
  int b = list.AddTitle("/b.avi");
  EXPECT_EQ(list.AddChild(a, "/a.srt"), 1);  // inserted before title b
  EXPECT_EQ(list.AddChild(a, "/a.mp3"), 2);
  EXPECT_EQ(list.Text(3), "/b.avi");
  EXPECT_EQ(list.AddChild(3, "/b.srt"), 4);
  EXPECT_EQ(list.AddChild(1, "/nested.srt"), -1) << "children have no children";
  EXPECT_EQ(list.Titles(), (std::vector<int>{0, 3}));
  EXPECT_EQ(list.TitleOf(2), 0);
  EXPECT_EQ(list.TitleOf(4), 3);
  EXPECT_EQ(list.TitleOf(9), -1);
  EXPECT_EQ(list.Text(-1), "");
  (void)b;
}

TEST(Playlist, RemovingATitleRemovesItsChildren) {
  TPlaylist list;
  list.AddTitle("/a.avi");
  list.AddChild(0, "/a.srt");
  list.AddTitle("/b.avi");
  EXPECT_TRUE(list.Remove(0));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Text(0), "/b.avi");
  EXPECT_FALSE(list.Remove(5));
}

TEST(Playlist, PathParts) {
  EXPECT_EQ(DirectoryOf("/films/a.avi"), "/films");
  EXPECT_EQ(DirectoryOf("/a.avi"), "/");
  EXPECT_EQ(DirectoryOf("a.avi"), "");
  EXPECT_EQ(FileNameOf("/films/a.avi"), "a.avi");
  EXPECT_FALSE(IsSubtitleExtension("/films.srt/movie"));
}

}  // namespace
}  // namespace kv
