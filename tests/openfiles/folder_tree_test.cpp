// The folder tree on a temporary folder tree standing in for the home folder: lazy filling,
// the order, the optional nodes, display modes, paths both ways, following changes on disk,
// unreadable folders and names that are not UTF-8.
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "openfiles/FolderTree.h"
#include "openfiles_test_support.h"

namespace kv {
namespace {

using namespace kv::test;

class FolderTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = MakeTempDir("foldertree");
    ASSERT_FALSE(home_.empty());
    for (const char* d : {"Zeta", "alpha/one/deep", "alpha/two", "Beta", ".hidden", "media"})
      fs::create_directories(home_ / d);
    WriteFile(home_ / "file.txt", "not a folder");
    WriteFile(home_ / "alpha/film.avi", "");
    tree_ = std::make_unique<TFolderTree>();
    TFolderTreeModel* m = tree_->Model();
    m->HomePath = home_.string();
    m->TrashPath = (home_ / ".local/share/Trash/files").string();
    m->MountSource = [] { return std::vector<TMountInfo>{{"/", "overlay", "overlay", ""}}; };
    tree_->resize(300, 400);
    tree_->show();
  }
  void TearDown() override {
    tree_.reset();
    std::error_code ec;
    fs::permissions(home_ / "locked", fs::perms::owner_all, ec);
    fs::remove_all(home_, ec);
  }

  QModelIndex Root() const { return tree_->Model()->index(0, 0); }
  QStringList Names(const QModelIndex& parent) const {
    QStringList out;
    for (int r = 0; r < tree_->Model()->rowCount(parent); ++r) out << tree_->Model()->index(r, 0, parent).data().toString();
    return out;
  }
  QModelIndex Child(const QModelIndex& parent, const QString& name) const {
    for (int r = 0; r < tree_->Model()->rowCount(parent); ++r)
      if (tree_->Model()->index(r, 0, parent).data().toString() == name) return tree_->Model()->index(r, 0, parent);
    return {};
  }

  // Expands as a person does: the folder made current, then the Right key.
  void ExpandByKey(const QModelIndex& index) {
    tree_->setCurrentIndex(index);
    tree_->setFocus();
    QTest::keyClick(tree_.get(), Qt::Key_Right);
    QApplication::processEvents();
  }

  fs::path home_;
  std::unique_ptr<TFolderTree> tree_;
};

TEST_F(FolderTreeTest, FillsLazily_foldersOnlyWithHiddenOnes_sortedAfterTheSpecialNodes) {
  tree_->SetFolderOptions(0);
  tree_->SetActive(true);
  EXPECT_EQ(Root().data().toString(), "Home");
  EXPECT_EQ(Names(Root()), (QStringList{"Computer", ".hidden", "alpha", "Beta", "media", "Zeta"}));
  EXPECT_TRUE(tree_->isExpanded(Root()));
  const QModelIndex computer = tree_->Model()->ComputerIndex();
  EXPECT_TRUE(tree_->isExpanded(computer));
  EXPECT_EQ(Names(computer), QStringList{"File System"});

  // "alpha" is not read until it is expanded, which the Right key does as for a person.
  const QModelIndex alpha = Child(Root(), "alpha");
  EXPECT_EQ(tree_->Model()->rowCount(alpha), 0);
  EXPECT_TRUE(tree_->Model()->hasChildren(alpha));
  ExpandByKey(alpha);
  EXPECT_TRUE(tree_->isExpanded(alpha));
  EXPECT_EQ(Names(alpha), (QStringList{"one", "two"}));
  // A folder without sub-folders loses its expand button once read.
  const QModelIndex two = Child(alpha, "two");
  ExpandByKey(two);
  EXPECT_FALSE(tree_->Model()->hasChildren(two));
}

TEST_F(FolderTreeTest, OptionalNodesFollowFolderOptions_andDisplayModeRecasesEveryNode) {
  tree_->SetFolderOptions(0);
  tree_->SetActive(true);
  EXPECT_FALSE(Child(Root(), "Trash").isValid());
  EXPECT_FALSE(Child(Root(), "Network").isValid());
  tree_->SetFolderOptions(TFolderTreeModel::kShowTrash | TFolderTreeModel::kShowNetwork);
  EXPECT_EQ(Names(Root()).mid(0, 3), (QStringList{"Computer", "Trash", "Network"}));
  EXPECT_EQ(tree_->Model()->KindOf(Child(Root(), "Trash")), TFolderTreeModel::kTrash);
  tree_->SetFolderOptions(TFolderTreeModel::kShowNetwork);
  EXPECT_FALSE(Child(Root(), "Trash").isValid());
  EXPECT_TRUE(Child(Root(), "Network").isValid());

  tree_->SetDisplayMode(1);
  EXPECT_TRUE(Child(Root(), "ALPHA").isValid());
  EXPECT_TRUE(Child(tree_->Model()->ComputerIndex(), "FILE SYSTEM").isValid());
  tree_->SetDisplayMode(2);
  EXPECT_TRUE(Child(Root(), "beta").isValid());
  tree_->SetDisplayMode(0);
  EXPECT_TRUE(Child(Root(), "Beta").isValid());
  EXPECT_TRUE(Child(Root(), "alpha").isValid());
}

TEST_F(FolderTreeTest, SetPathSelectsTheNode_orItsNearestExistingAncestor) {
  tree_->SetActive(true);
  QSignalSpy changed(tree_.get(), &TFolderTree::Changed);
  const std::string deep = (home_ / "alpha/one/deep").string();
  tree_->SetPath(deep + "/");
  EXPECT_EQ(tree_->GetPath(), deep);
  EXPECT_GE(changed.count(), 1);
  EXPECT_TRUE(tree_->isExpanded(tree_->currentIndex().parent()));

  // A deleted folder: the nearest ancestor is selected and the vanished one leaves the tree.
  tree_->SetPath((home_ / "alpha/two").string());
  fs::remove_all(home_ / "alpha/two");
  tree_->SetPath((home_ / "alpha/two").string());
  EXPECT_EQ(tree_->GetPath(), (home_ / "alpha").string());
  EXPECT_EQ(Names(tree_->currentIndex()), QStringList{"one"});

  // The root of the file system is the volume node; an empty path selects nothing.
  tree_->SetPath("/");
  EXPECT_EQ(tree_->currentIndex().data().toString(), "File System");
  EXPECT_EQ(tree_->GetPath(), "/");
  tree_->SetPath("");
  EXPECT_EQ(tree_->GetPath(), "");
}

TEST_F(FolderTreeTest, FollowsFoldersCreatedRemovedAndRenamedWhileShown) {
  tree_->SetActive(true);
  tree_->SetPath((home_ / "alpha/one").string());
  const QModelIndex alpha = Child(Root(), "alpha");
  fs::create_directories(home_ / "alpha/new");
  ASSERT_TRUE(RunUntil([&] { return Child(alpha, "new").isValid(); })) << "a new folder appears";
  EXPECT_EQ(Names(alpha), (QStringList{"new", "one", "two"}));
  fs::remove_all(home_ / "Beta");
  ASSERT_TRUE(RunUntil([&] { return !Child(Root(), "Beta").isValid(); })) << "a removed folder goes";
  fs::rename(home_ / "alpha/two", home_ / "alpha/Three");
  ASSERT_TRUE(RunUntil([&] { return Child(alpha, "Three").isValid() && !Child(alpha, "two").isValid(); }));
  // The expanded branch stays expanded and selected through the changes.
  EXPECT_EQ(tree_->GetPath(), (home_ / "alpha/one").string());
}

TEST_F(FolderTreeTest, VolumesMountedAndUnmountedWhileShownComeAndGo) {
  std::vector<TMountInfo> mounts{{"/", "overlay", "overlay", ""}};
  tree_->Model()->MountSource = [&] { return mounts; };
  tree_->SetFolderOptions(TFolderTreeModel::kShowNetwork);
  tree_->SetActive(true);
  const QModelIndex computer = tree_->Model()->ComputerIndex();
  const QModelIndex network = Child(Root(), "Network");
  tree_->expand(network);
  QApplication::processEvents();
  mounts.push_back({(home_ / "media").string(), "//nas/films", "cifs", "films"});
  mounts.push_back({"/run/user/0", "tmpfs", "tmpfs", ""});  // a helper mount: never shown
  ASSERT_TRUE(RunUntil([&] { return Child(computer, "films").isValid(); })) << "polled within a second or so";
  EXPECT_EQ(Names(computer), (QStringList{"File System", "films"})) << "the computer keeps the mount order";
  EXPECT_EQ(Names(network), QStringList{"films"});
  EXPECT_EQ(tree_->Model()->KindOf(Child(network, "films")), TFolderTreeModel::kNetworkItem);
  tree_->SetPath((home_ / "media").string());
  mounts.resize(1);
  ASSERT_TRUE(RunUntil([&] { return !Child(computer, "films").isValid(); }));
  EXPECT_EQ(Names(network), QStringList{});
}

TEST_F(FolderTreeTest, ANameThatIsNotUtf8IsShownWithReplacementAndKeptAsItsBytes) {
  const std::string raw = (home_ / "media").string() + "/old\xff" "disk";
  ASSERT_EQ(mkdir(raw.c_str(), 0755), 0);
  tree_->SetActive(true);
  tree_->SetPath(raw);
  EXPECT_EQ(tree_->GetPath(), raw);
  EXPECT_EQ(tree_->currentIndex().data().toString(), QString::fromUtf8("old\xef\xbf\xbd" "disk"));
}

// Expanding a folder the user may not read shows no children and keeps the tree usable.
// Root reads everything: then the case runs again as an unprivileged user in a child process.
TEST_F(FolderTreeTest, AnUnreadableFolderShowsNoChildren) {
  fs::create_directories(home_ / "locked/inside");
  fs::permissions(home_ / "locked", fs::perms::none);
  if (geteuid() == 0) {
    if (getenv("KAVELLO_UNPRIVILEGED_CHILD")) GTEST_SKIP() << "could not drop root";
    if (access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "running as root and setpriv is missing";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string cmd = "KAVELLO_UNPRIVILEGED_CHILD=1 QT_QPA_PLATFORM=offscreen HOME=/tmp XDG_RUNTIME_DIR= "
                            "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups '" + self +
                            "' --gtest_filter=FolderTreeTest.AnUnreadableFolderShowsNoChildren >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the check failed as an unprivileged user";
    return;
  }
  tree_->SetActive(true);
  const QModelIndex locked = Child(Root(), "locked");
  ASSERT_TRUE(locked.isValid());
  ExpandByKey(locked);
  EXPECT_EQ(tree_->Model()->rowCount(locked), 0);
  EXPECT_FALSE(tree_->Model()->hasChildren(locked));
  tree_->SetPath((home_ / "locked/inside").string());
  EXPECT_EQ(tree_->GetPath(), (home_ / "locked").string());
}

}  // namespace
}  // namespace kv
