#include "about_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include "library_versions.h"

namespace kv::about {

TAboutDialog::TAboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutForm"));
  setWindowTitle(QStringLiteral("About"));
  auto* column = new QVBoxLayout(this);
  auto* title = new QLabel(QStringLiteral("<b>Kavello</b> %1").arg(QString::fromStdString(ProgramVersion())), this);
  title->setObjectName(QStringLiteral("Title"));
  title->setProperty("kvNoTranslate", true);  // the version, read at run time
  column->addWidget(title);
  auto* built = new QLabel(QStringLiteral("Built %1").arg(QString::fromStdString(BuildDate())), this);
  built->setObjectName(QStringLiteral("BuildDate"));
  built->setProperty("kvNoTranslate", true);
  column->addWidget(built);
  auto* librariesCaption = new QLabel(QStringLiteral("Libraries in use:"), this);
  librariesCaption->setObjectName(QStringLiteral("LibrariesCaption"));
  column->addWidget(librariesCaption);

  const std::vector<TLibraryInfo> libraries = LibrariesInUse();
  libraries_ = new QTableWidget(static_cast<int>(libraries.size()), 3, this);
  libraries_->setObjectName(QStringLiteral("Libraries"));
  libraries_->setHorizontalHeaderLabels({QStringLiteral("Library"), QStringLiteral("Version"), QStringLiteral("Licence")});
  libraries_->verticalHeader()->hide();
  libraries_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  libraries_->setSelectionMode(QAbstractItemView::NoSelection);
  for (int row = 0; row < static_cast<int>(libraries.size()); ++row) {
    const TLibraryInfo& l = libraries[static_cast<size_t>(row)];
    libraries_->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(l.name)));
    libraries_->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(l.version)));
    libraries_->setItem(row, 2, new QTableWidgetItem(QString::fromStdString(l.licence)));
  }
  libraries_->setFocusPolicy(Qt::NoFocus);
  libraries_->resizeColumnsToContents();
  libraries_->resizeRowsToContents();
  libraries_->horizontalHeader()->setStretchLastSection(true);
  // Tall enough for every row: the list is short and should be read at a glance.
  int height = libraries_->horizontalHeader()->sizeHint().height() + 2 * libraries_->frameWidth();
  for (int row = 0; row < libraries_->rowCount(); ++row) height += libraries_->rowHeight(row);
  libraries_->setMinimumSize(600, height);
  column->addWidget(libraries_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  column->addWidget(buttons);
}

}  // namespace kv::about
