#include "openfiles/open.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include <algorithm>

#include "engine/catalogue.h"
#include "openfiles/file_filter.h"
#include "openfiles/playlist_drop.h"
#include "settings/optunit.h"
#include "subtitles/Subtitl.h"

namespace kv {

// ---- TPlaybackView ----

TPlaybackView::TPlaybackView(QWidget* parent) : QTreeView(parent) {
  setObjectName(QStringLiteral("Playback"));
  setHeaderHidden(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setAcceptDrops(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  setDropIndicatorShown(true);
  setItemsExpandable(true);
}

namespace {
const TFileDragData* FromList(const QDropEvent* event) {
  return qobject_cast<const TFileDragData*>(event->mimeData());
}
}  // namespace

void TPlaybackView::dragEnterEvent(QDragEnterEvent* event) {
  const TFileDragData* data = FromList(event);
  if (!data) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);  // the moves decide where it may land
  event->accept();
}

void TPlaybackView::dragMoveEvent(QDragMoveEvent* event) {
  const TFileDragData* data = FromList(event);
  if (data && CanDrop && CanDrop(*data, event->position().toPoint())) {
    event->setDropAction(Qt::CopyAction);  // a copy: the file list keeps its item
    event->accept();
  } else {
    event->ignore();
  }
}

void TPlaybackView::dropEvent(QDropEvent* event) {
  const TFileDragData* data = FromList(event);
  const QPoint pos = event->position().toPoint();
  if (!data || !CanDrop || !CanDrop(*data, pos)) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  if (Dropped) Dropped(*data, pos);
}

// ---- TOpenfilesForm ----

TOpenfilesForm::TOpenfilesForm(TPlaylist& playlist, tOptions& options, QWidget* parent)
    : QDialog(parent), playlist_(playlist), options_(options) {
  setObjectName(QStringLiteral("OpenfilesForm"));
  setWindowTitle(QStringLiteral("Open files"));
  setMinimumSize(489, 378);
  resize(860, 500);

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setObjectName(QStringLiteral("Splitter1"));
  Splitter1->setChildrenCollapsible(false);

  DirectoryLabel = new QGroupBox(QStringLiteral("Directory and files"), Splitter1);
  DirectoryLabel->setObjectName(QStringLiteral("DirectoryLabel"));
  Splitter2 = new QSplitter(Qt::Vertical, DirectoryLabel);
  Splitter2->setObjectName(QStringLiteral("Splitter2"));
  Splitter2->setChildrenCollapsible(false);
  Panel1 = new QWidget(Splitter2);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setMinimumHeight(150);  // keeps the file pane at most the group's height - 150
  new QVBoxLayout(Panel1);
  Panel1->layout()->setContentsMargins(0, 0, 0, 0);
  Panel2 = new QWidget(Splitter2);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setMinimumHeight(150);  // the file pane is at least 150 high
  auto* fileLayout = new QVBoxLayout(Panel2);
  fileLayout->setContentsMargins(0, 0, 0, 0);
  FileListBox = new TFileListBox(Panel2);
  FilterComboBox = new QComboBox(Panel2);
  FilterComboBox->setObjectName(QStringLiteral("FilterComboBox"));
  // Its items come from the catalogue at every showing: not words of a language file.
  FilterComboBox->setProperty("kvNoTranslate", true);
  fileLayout->addWidget(FileListBox);
  fileLayout->addWidget(FilterComboBox);
  auto* dirLayout = new QVBoxLayout(DirectoryLabel);
  dirLayout->addWidget(Splitter2);

  PlaylistLabel = new QGroupBox(QStringLiteral("Playlist"), Splitter1);
  PlaylistLabel->setObjectName(QStringLiteral("PlaylistLabel"));
  Playback = new TPlaybackView(PlaylistLabel);
  model_ = new TPlaylistModel(playlist_, this);
  Playback->setModel(model_);
  OKBut = new QPushButton(QStringLiteral("OK"), PlaylistLabel);
  OKBut->setObjectName(QStringLiteral("OKBut"));
  OKBut->setDefault(true);
  CancelBut = new QPushButton(QStringLiteral("Cancel"), PlaylistLabel);
  CancelBut->setObjectName(QStringLiteral("CancelBut"));
  auto* listLayout = new QVBoxLayout(PlaylistLabel);
  listLayout->addWidget(Playback);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBut);
  buttons->addWidget(CancelBut);
  listLayout->addLayout(buttons);
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setStretchFactor(1, 1);

  auto* top = new QVBoxLayout(this);
  top->addWidget(Splitter1);

  OpenMenu = new QMenu(this);
  OpenMenu->setObjectName(QStringLiteral("OpenMenu"));
  InsertItem = OpenMenu->addAction(QStringLiteral("Insert"));
  InsertItem->setObjectName(QStringLiteral("InsertItem"));
  InsertItem->setShortcut(Qt::Key_Insert);
  InsertItem->setShortcutContext(Qt::WidgetShortcut);
  FileListBox->addAction(InsertItem);
  DeleteMenu = new QMenu(this);
  DeleteMenu->setObjectName(QStringLiteral("DeleteMenu"));
  DeleteItem = DeleteMenu->addAction(QStringLiteral("Delete"));
  DeleteItem->setObjectName(QStringLiteral("DeleteItem"));
  DeleteItem->setShortcut(Qt::Key_Delete);
  DeleteItem->setShortcutContext(Qt::WidgetShortcut);
  Playback->addAction(DeleteItem);

  FileListBox->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FileListBox, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { OpenMenu->popup(FileListBox->viewport()->mapToGlobal(p)); });
  Playback->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Playback, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { DeleteMenu->popup(Playback->viewport()->mapToGlobal(p)); });
  connect(InsertItem, &QAction::triggered, this, &TOpenfilesForm::InsertClick);
  connect(FileListBox, &QListWidget::itemDoubleClicked, this, &TOpenfilesForm::InsertClick);
  connect(DeleteItem, &QAction::triggered, this, &TOpenfilesForm::DeleteClick);
  connect(OKBut, &QPushButton::clicked, this, &TOpenfilesForm::OKButClick);
  connect(CancelBut, &QPushButton::clicked, this, &TOpenfilesForm::CancelbutClick);
  connect(FilterComboBox, &QComboBox::currentIndexChanged, this, [this](int i) {
    if (i >= 0 && i < static_cast<int>(filterMasks_.size())) FileListBox->SetMask(filterMasks_[i]);
  });
  connect(model_, &QAbstractItemModel::modelReset, Playback, &QTreeView::expandAll);

  Playback->CanDrop = [this](const TFileDragData& d, const QPoint& p) { return AcceptsDrop(d, TargetAt(p)); };
  Playback->Dropped = [this](const TFileDragData& d, const QPoint& p) { DropFile(d, TargetAt(p)); };
}

TOpenfilesForm::~TOpenfilesForm() = default;

void TOpenfilesForm::setVisible(bool visible) {
  if (visible && !isVisible()) setWindowFlag(Qt::WindowStaysOnTopHint, options_.AlwaysOnTop);
  QDialog::setVisible(visible);
}

void TOpenfilesForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TOpenfilesForm::FormShow() {
  if (!FolderTree) {
    FolderTree = new TFolderTree(Panel1);
    Panel1->layout()->addWidget(FolderTree);
    FolderTree->SetFolderOptions(FolderTreeOptions);
    FolderTree->SetActive(true);
    FolderTree->setFocus();
    connect(FolderTree, &TFolderTree::Changed, this, &TOpenfilesForm::FolderChanged);
    FolderChanged();
    Splitter2->setSizes({1, 1});  // the folder and file panes start even
  }
  FolderTree->SetPath(options_.OpenDir);
  backup_ = playlist_.Nodes();
  Playback->expandAll();

  const std::string filter = Catalogue ? OpenFilesFilter(*Catalogue) : std::string("All files|*.*");
  const QSignalBlocker block(FilterComboBox);
  FilterComboBox->clear();
  filterMasks_.clear();
  for (const TFilterEntry& e : ParseFilter(filter)) {
    FilterComboBox->addItem(QString::fromStdString(e.caption));
    filterMasks_.push_back(e.masks);
  }
  FilterComboBox->setCurrentIndex(0);
  FileListBox->SetMask(filterMasks_.empty() ? std::string("*.*") : filterMasks_.front());
}

void TOpenfilesForm::FolderChanged() { FileListBox->SetDirectory(FolderTree ? FolderTree->GetPath() : std::string()); }

void TOpenfilesForm::InsertClick() {
  int last = -1;
  for (int row = 0; row < FileListBox->count(); ++row) {
    const QListWidgetItem* item = FileListBox->item(row);
    if (!item->isSelected()) continue;
    const std::string path = FileListBox->FullPath(item);
    if (Catalogue && Catalogue->IsVideoFile(path)) last = playlist_.AddTitle(path);
  }
  if (last >= 0) SelectFlat(last);
}

void TOpenfilesForm::DeleteClick() {
  std::vector<int> chosen;
  for (const QModelIndex& i : Playback->selectionModel()->selectedIndexes()) chosen.push_back(model_->FlatIndex(i));
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  // From the last to the first, so that every index still names its entry when it goes.
  for (auto it = chosen.rbegin(); it != chosen.rend(); ++it) playlist_.Remove(*it);
}

void TOpenfilesForm::OKButClick() {
  // A virtual node (the computer, the network) has no path: the stored folder is kept.
  const std::string path = FolderTree ? FolderTree->GetPath() : std::string();
  if (!path.empty()) options_.OpenDir = path;
  done(OK);
}

void TOpenfilesForm::CancelbutClick() {
  playlist_.SetNodes(backup_);
  done(Cancel);
}

void TOpenfilesForm::reject() { CancelbutClick(); }

void TOpenfilesForm::Classify(const TFileDragData& data) const {
  if (data.classified) return;
  data.classified = true;
  const std::string& path = data.Path();
  data.isVideo = Catalogue && Catalogue->IsVideoFile(path);
  data.isAttachable = (Catalogue && Catalogue->IsAudioFile(path)) || TSubTitles::DetectFormat(path) != 0;
}

bool TOpenfilesForm::AcceptsDrop(const TFileDragData& data, int target) const {
  Classify(data);
  return DecideDrop(playlist_, target, data.isVideo, data.isAttachable).action != TDropDecision::Refuse;
}

int TOpenfilesForm::DropFile(const TFileDragData& data, int target) {
  Classify(data);
  const int added = ApplyDrop(playlist_, DecideDrop(playlist_, target, data.isVideo, data.isAttachable), data.Path());
  if (added >= 0) SelectFlat(added);
  return added;
}

int TOpenfilesForm::TargetAt(const QPoint& viewportPos) const {
  return model_->FlatIndex(Playback->indexAt(viewportPos));
}

void TOpenfilesForm::SelectFlat(int flat) {
  const QModelIndex i = model_->IndexOfFlat(flat);
  if (!i.isValid()) return;
  Playback->expandAll();
  Playback->setCurrentIndex(i);
  Playback->scrollTo(i);
}

}  // namespace kv
