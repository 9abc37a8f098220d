#include "openfiles/ExplorerDrop.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace kv {

TExplorerDrop::TExplorerDrop(QObject* parent) : QObject(parent) {}

TExplorerDrop::~TExplorerDrop() { SetDestinationControl(nullptr); }

void TExplorerDrop::SetDestinationControl(QWidget* control) {
  if (control_) {
    control_->removeEventFilter(this);
    control_->setAcceptDrops(previousAcceptDrops_);
  }
  control_ = control;
  if (control_) {
    previousAcceptDrops_ = control_->acceptDrops();
    control_->installEventFilter(this);
    Apply();
  }
}

void TExplorerDrop::SetEnabled(bool on) {
  enabled_ = on;
  if (control_) Apply();
}

void TExplorerDrop::Apply() { control_->setAcceptDrops(enabled_); }

QStringList TExplorerDrop::Accept(const QStringList& names) {
  QStringList accepted;
  for (const QString& name : names) {
    if (AllowFolders || QFileInfo(name).isFile()) {
      accepted << name;
    } else if (OnFolderNotAllowed) {
      OnFolderNotAllowed(this, name);
    }
  }
  return accepted;
}

bool TExplorerDrop::eventFilter(QObject* watched, QEvent* event) {
  if (watched != control_ || !enabled_) return false;
  if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
    auto* drag = static_cast<QDropEvent*>(event);
    if (drag->mimeData() && drag->mimeData()->hasUrls()) {
      drag->acceptProposedAction();
      return true;
    }
    return false;
  }
  if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    if (OnBeginDrop) OnBeginDrop(this);
    QStringList names;
    if (drop->mimeData())
      for (const QUrl& url : drop->mimeData()->urls())
        if (url.isLocalFile()) names << url.toLocalFile();
    QStringList files = Accept(names);
    drop->acceptProposedAction();
    const QPoint p = drop->position().toPoint();
    if (OnDropped) OnDropped(this, files, static_cast<int>(files.size()), p.x(), p.y());
    return true;
  }
  return false;
}

}  // namespace kv
