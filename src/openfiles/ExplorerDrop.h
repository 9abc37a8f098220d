// TExplorerDrop: files dragged from the file manager onto one control of the program.
//
// It attaches to a widget (`DestinationControl`), accepts drops of local file URLs there,
// keeps the names of existing files (folders too when `AllowFolders`), reports every other
// name through OnFolderNotAllowed, and hands the accepted list to OnDropped with the drop
// point in the control's coordinates. It is an event filter on that widget; nothing else of
// the widget changes. User-interface thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace kv {

class TExplorerDrop : public QObject {
  Q_OBJECT
 public:
  explicit TExplorerDrop(QObject* parent = nullptr);
  ~TExplorerDrop() override;

  void SetDestinationControl(QWidget* control);  // null detaches
  QWidget* DestinationControl() const { return control_; }
  void SetEnabled(bool on);
  bool Enabled() const { return enabled_; }
  bool AllowFolders = false;

  std::function<void(TExplorerDrop*)> OnBeginDrop;
  std::function<void(TExplorerDrop*, const QStringList& files, int count, int x, int y)> OnDropped;
  std::function<void(TExplorerDrop*, const QString& name)> OnFolderNotAllowed;

  // The filtering of one drop, also used directly by tests: returns the accepted names.
  QStringList Accept(const QStringList& names);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Apply();
  QPointer<QWidget> control_;
  bool enabled_ = true;
  bool previousAcceptDrops_ = false;
};

}  // namespace kv
