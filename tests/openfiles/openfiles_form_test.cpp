// The "Open files" dialog over a temporary folder, driven as a person drives it: clicks and
// keys in the file list and the playlist, drags from the list dropped on the playlist, the
// OK and Cancel buttons.
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "openfiles/open.h"
#include "openfiles_test_support.h"
#include "settings/optunit.h"

namespace kv {
namespace {

using namespace kv::test;

class OpenfilesFormTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = MakeTempDir("openfiles");
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    fs::create_directories(dir_ / "media/sub");
    for (const char* f : {"a.avi", "b.mkv", "c.avi", "b.mp3", "notes.txt", "cover.jpg", "Readme"})
      WriteFile(dir_ / "media" / f, "x");
    WriteFile(dir_ / "media/a.srt", kSubRip);
    WriteFile(dir_ / "media/notes.txt", "shopping list\nmilk\n");
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  void SetUp() override {
    catalogue_ = SmallCatalogue();
    options_ = std::make_unique<tOptions>();
    options_->OpenDir = (dir_ / "media").string();
    form_ = std::make_unique<TOpenfilesForm>(list_, *options_);
    form_->Catalogue = &catalogue_;
    form_->FolderTreeOptions = 0;
  }
  void TearDown() override {
    form_.reset();
    list_.SetObserver(nullptr);
  }

  std::string Media(const char* name) const { return (dir_ / "media" / name).string(); }
  void Show() {
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
  }
  QListWidgetItem* FileItem(const char* name) const {
    auto found = form_->FileListBox->findItems(QString::fromLatin1(name), Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.front();
  }
  void ClickFile(const char* name, Qt::KeyboardModifiers mods = {}) {
    QListWidgetItem* item = FileItem(name);
    ASSERT_NE(item, nullptr) << name;
    QTest::mouseClick(form_->FileListBox->viewport(), Qt::LeftButton, mods,
                      form_->FileListBox->visualItemRect(item).center());
  }
  QPoint RowPoint(int flat) const {
    return form_->Playback->visualRect(form_->PlaylistModel()->IndexOfFlat(flat)).center();
  }
  QPoint EmptyPoint() const { return QPoint(20, form_->Playback->viewport()->height() - 5); }
  // The list's own drag data for `name` (what a drag from the list carries), moved over and
  // dropped at `pos` of the playlist. Returns whether the playlist accepted it.
  bool DragFileTo(const char* name, const QPoint& pos) {
    QListWidgetItem* item = FileItem(name);
    if (!item) return false;
    form_->FileListBox->setCurrentItem(item);
    const QModelIndex index = form_->FileListBox->model()->index(form_->FileListBox->row(item), 0);
    std::unique_ptr<QMimeData> data(form_->FileListBox->model()->mimeData({index}));
    return Drop(data.get(), pos);
  }
  bool Drop(QMimeData* data, const QPoint& pos) {
    QWidget* target = form_->Playback->viewport();
    QDragEnterEvent enter(pos, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    const bool accepted = move.isAccepted();
    QDropEvent drop(QPointF(pos), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    EXPECT_EQ(drop.isAccepted(), accepted);
    return accepted;
  }
  std::vector<std::string> Tree() const {
    std::vector<std::string> out;
    for (const auto& n : list_.Nodes())
      out.push_back((n.topLevel ? "" : "  ") + fs::path(n.path).filename().string());
    return out;
  }

  static inline fs::path dir_;
  TCatalogue catalogue_;
  std::unique_ptr<tOptions> options_;
  TPlaylist list_;
  std::unique_ptr<TOpenfilesForm> form_;
};

TEST_F(OpenfilesFormTest, ShowsTheStoredFolderWithTheCatalogueFilter_andInsertTakesOnlyVideoFiles) {
  Show();
  EXPECT_EQ(form_->windowTitle(), "Open files");
  EXPECT_EQ(form_->FolderTree->GetPath(), (dir_ / "media").string());
  EXPECT_EQ(form_->FilterComboBox->itemText(0), "All supported media");
  EXPECT_EQ(form_->FilterComboBox->itemText(form_->FilterComboBox->count() - 1), "All files");
  QStringList shown;
  for (int i = 0; i < form_->FileListBox->count(); ++i) shown << form_->FileListBox->item(i)->text();
  EXPECT_EQ(shown, (QStringList{"a.avi", "a.srt", "b.mkv", "b.mp3", "c.avi", "notes.txt"}));
  form_->FilterComboBox->setCurrentIndex(form_->FilterComboBox->findText("All files"));
  EXPECT_EQ(form_->FileListBox->count(), 8);
  form_->FilterComboBox->setCurrentIndex(form_->FilterComboBox->findText("Subtitles"));
  EXPECT_EQ(form_->FileListBox->count(), 2);
  form_->FilterComboBox->setCurrentIndex(0);

  // A video, a subtitle and an audio file chosen with Ctrl, then "Insert": only the video.
  ClickFile("a.srt");
  ClickFile("c.avi", Qt::ControlModifier);
  ClickFile("b.mp3", Qt::ControlModifier);
  form_->FileListBox->setFocus();
  QTest::keyClick(form_->FileListBox, Qt::Key_Insert);
  EXPECT_EQ(Tree(), std::vector<std::string>{"c.avi"});
  EXPECT_EQ(list_.Text(0), Media("c.avi"));
  // A double-click inserts too, in list order, and the new entry is the selected one.
  ClickFile("a.avi");
  ClickFile("b.mkv", Qt::ShiftModifier);
  form_->InsertClick();
  EXPECT_EQ(Tree(), (std::vector<std::string>{"c.avi", "a.avi", "b.mkv"}));
  EXPECT_EQ(form_->PlaylistModel()->FlatIndex(form_->Playback->currentIndex()), 2);
  ClickFile("a.avi");
  QTest::mouseDClick(form_->FileListBox->viewport(), Qt::LeftButton, {},
                     form_->FileListBox->visualItemRect(FileItem("a.avi")).center());
  EXPECT_EQ(Tree().back(), "a.avi");
}

TEST_F(OpenfilesFormTest, DropsFollowTheRulesForEmptySpaceTitlesAndAttachedFiles) {
  Show();
  EXPECT_FALSE(DragFileTo("a.srt", EmptyPoint())) << "a subtitle on empty space";
  EXPECT_TRUE(list_.Empty());
  EXPECT_TRUE(DragFileTo("a.avi", EmptyPoint()));
  EXPECT_TRUE(DragFileTo("c.avi", EmptyPoint()));
  EXPECT_TRUE(DragFileTo("a.srt", RowPoint(0))) << "a subtitle on a title";
  EXPECT_TRUE(DragFileTo("b.mp3", RowPoint(1))) << "an audio file on an attached file";
  EXPECT_FALSE(DragFileTo("b.mkv", RowPoint(1))) << "a video on an attached file";
  EXPECT_FALSE(DragFileTo("notes.txt", RowPoint(1))) << "a text that is no subtitle, on a child";
  EXPECT_TRUE(DragFileTo("b.mkv", RowPoint(0))) << "a video on a title: a new title at the end";
  EXPECT_EQ(Tree(), (std::vector<std::string>{"a.avi", "  a.srt", "  b.mp3", "c.avi", "b.mkv"}));
  EXPECT_EQ(form_->PlaylistModel()->FlatIndex(form_->Playback->currentIndex()), 4);

  // A drag from anywhere else (the file manager's URLs) is refused, even over a title.
  QMimeData external;
  external.setUrls({QUrl::fromLocalFile(QString::fromStdString(Media("a.srt")))});
  EXPECT_FALSE(Drop(&external, RowPoint(0)));
  EXPECT_EQ(list_.Count(), 5);
}

TEST_F(OpenfilesFormTest, DeleteRemovesEverySelectedEntry_titlesWithTheirFiles) {
  list_.AddTitle(Media("a.avi"));
  list_.AddChild(0, Media("a.srt"));
  list_.AddTitle(Media("b.mkv"));
  list_.AddChild(2, Media("b.mp3"));
  list_.AddTitle(Media("c.avi"));
  Show();
  QWidget* vp = form_->Playback->viewport();
  QTest::mouseClick(vp, Qt::LeftButton, {}, RowPoint(0));
  QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, RowPoint(1));  // a child of a chosen title
  QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, RowPoint(3));
  form_->Playback->setFocus();
  QTest::keyClick(form_->Playback, Qt::Key_Delete);
  EXPECT_EQ(Tree(), (std::vector<std::string>{"b.mkv", "c.avi"}));
}

TEST_F(OpenfilesFormTest, CancelRestoresThePlaylistAsShown_everyTime_andOkStoresTheFolder) {
  list_.AddTitle(Media("a.avi"));
  list_.AddChild(0, Media("a.srt"));
  const std::vector<TPlaylist::Node> before = list_.Nodes();
  for (int round = 0; round < 2; ++round) {
    Show();
    DragFileTo("c.avi", EmptyPoint());
    QTest::mouseClick(form_->Playback->viewport(), Qt::LeftButton, {}, RowPoint(0));
    form_->DeleteClick();
    ASSERT_NE(list_.Nodes(), before);
    QTest::mouseClick(form_->CancelBut, Qt::LeftButton);
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(form_->result(), TOpenfilesForm::Cancel);
    EXPECT_EQ(list_.Nodes(), before) << "round " << round;
  }
  // Escape is Cancel as well.
  Show();
  DragFileTo("c.avi", EmptyPoint());
  QTest::keyClick(form_.get(), Qt::Key_Escape);
  EXPECT_EQ(list_.Nodes(), before);

  // OK keeps the edits and stores the tree's folder, which the next showing opens.
  Show();
  DragFileTo("c.avi", EmptyPoint());
  form_->FolderTree->SetPath(Media("sub"));
  QTest::mouseClick(form_->OKBut, Qt::LeftButton);
  EXPECT_EQ(form_->result(), TOpenfilesForm::OK);
  EXPECT_EQ(options_->OpenDir, Media("sub"));
  EXPECT_EQ(Tree(), (std::vector<std::string>{"a.avi", "  a.srt", "c.avi"}));
  Show();
  EXPECT_EQ(form_->FolderTree->GetPath(), Media("sub"));
  EXPECT_EQ(form_->FileListBox->Directory(), Media("sub"));
  form_->reject();
}

TEST_F(OpenfilesFormTest, KeepsItsMinimumSizeAndSplitterLimits_andStaysOnTopWhenSet) {
  options_->AlwaysOnTop = true;
  Show();
  EXPECT_TRUE(form_->windowFlags() & Qt::WindowStaysOnTopHint);
  form_->resize(100, 100);
  EXPECT_GE(form_->width(), 489);
  EXPECT_GE(form_->height(), 378);
  form_->Splitter2->setSizes({10, 10000});
  QApplication::processEvents();
  EXPECT_GE(form_->Panel2->height(), 150);
  EXPECT_GE(form_->Panel1->height(), 150);
  form_->reject();
  options_->AlwaysOnTop = false;
  Show();
  EXPECT_FALSE(form_->windowFlags() & Qt::WindowStaysOnTopHint);
  form_->reject();
}

TEST_F(OpenfilesFormTest, ThePlaylistShownIsTheOneTheCallerHolds) {
  Show();
  list_.AddTitle(Media("b.mkv"));  // changed from outside while shown
  EXPECT_EQ(form_->PlaylistModel()->rowCount(), 1);
  EXPECT_EQ(form_->PlaylistModel()->index(0, 0).data().toString().toStdString(), Media("b.mkv"));
  list_.Clear();
  EXPECT_EQ(form_->PlaylistModel()->rowCount(), 0);
  form_->reject();
}

// The main window's playlist is a member that goes before the dialog (a child widget) does.
TEST(PlaylistModel, APlaylistDestroyedFirstLeavesTheViewEmpty) {
  auto list = std::make_unique<TPlaylist>();
  list->AddTitle("/m/a.avi");
  TPlaylistModel model(*list);
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  EXPECT_EQ(model.rowCount(), 1);
  list.reset();
  EXPECT_EQ(resets.count(), 1);
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.Playlist(), nullptr);
}

}  // namespace
}  // namespace kv
