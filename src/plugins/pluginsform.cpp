#include "plugins/pluginsform.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "plugins/plugin_chain.h"

namespace kv {

TPluginsForm::TPluginsForm(QWidget* parent, std::string filtersFolder, std::string language)
    : QDialog(parent), folder_(std::move(filtersFolder)), language_(std::move(language)) {
  setObjectName("PluginsForm");
  setWindowTitle("Filters");
  auto* layout = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  FiltersList = new QListWidget(this);
  FiltersList->setObjectName("FiltersList");
  FiltersList->setSortingEnabled(false);  // the list arrives sorted
  FilterDescr = new QTextEdit(this);
  FilterDescr->setObjectName("FilterDescr");
  FilterDescr->setReadOnly(true);
  FilterDescr->hide();
  top->addWidget(FiltersList, 1);
  top->addWidget(FilterDescr, 1);
  layout->addLayout(top);

  auto* row = new QHBoxLayout;
  row->setObjectName("ChainRow");
  for (int k = 0; k < kFilterSlots; ++k) {
    if (k > 0) {
      Arrow[k - 1] = new QLabel(QString::fromUtf8("\xE2\x86\x92"), this);  // →
      Arrow[k - 1]->setObjectName(QString("Arrow%1").arg(k));
      row->addWidget(Arrow[k - 1]);
    }
    Filter[k] = new QLabel(this);
    Filter[k]->setObjectName(QString("Filter%1").arg(k + 1));
    Filter[k]->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Filter[k]->setLineWidth(2);
    Filter[k]->setAlignment(Qt::AlignCenter);
    Filter[k]->setMinimumSize(96, 40);
    Filter[k]->setWordWrap(true);
    Filter[k]->installEventFilter(this);
    row->addWidget(Filter[k]);
  }
  row->addStretch(1);
  layout->addLayout(row);

  auto* profiles = new QHBoxLayout;
  auto* profileLabel = new QLabel("Filter profiles", this);
  auto* profilesBox = new QComboBox(this);
  profilesBox->setObjectName("ProfilesBox");
  auto* load = new QToolButton(this);
  load->setObjectName("LoadProfile");
  load->setToolTip("Load profile");
  load->setText("...");
  auto* save = new QToolButton(this);
  save->setObjectName("SaveProfile");
  save->setToolTip("Save profile");
  save->setText("+");
  for (QWidget* w : std::initializer_list<QWidget*>{profileLabel, profilesBox, load, save}) {
    w->setEnabled(false);
    profiles->addWidget(w);
  }
  profiles->addStretch(1);
  layout->addLayout(profiles);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName("Buttons");
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { done(1); });
  connect(buttons, &QDialogButtonBox::rejected, this, [this] { done(2); });
  connect(FiltersList, &QListWidget::itemClicked, this, &TPluginsForm::FiltersListClick);
  connect(FiltersList, &QListWidget::itemDoubleClicked, this, &TPluginsForm::FiltersListDblClick);
  resize(640, 360);
}

int TPluginsForm::ShowModal(const TFiltersInChain& settingsChain) {
  settings_ = settingsChain;
  chain_ = settingsChain;
  int result = exec();
  return result == 1 ? 1 : 2;
}

void TPluginsForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TPluginsForm::FormShow() {
  FiltersList->clear();
  for (const std::string& name : plugins::ListPlugins(folder_, IsVideo))
    FiltersList->addItem(QString::fromStdString(name));
  FilterDescr->hide();
  chain_ = settings_;
  for (QLabel* panel : Filter) panel->setFrameShadow(QFrame::Raised);
  RefreshChainRow();
}

void TPluginsForm::RefreshChainRow() {
  for (int k = 0; k < kFilterSlots; ++k) {
    const bool used = !chain_[k].FileName.empty();
    Filter[k]->setText(QString::fromStdString(chain_[k].Name));
    Filter[k]->setVisible(used);
    if (k > 0) Arrow[k - 1]->setVisible(used);
  }
}

void TPluginsForm::FiltersListClick(QListWidgetItem* item) {
  if (!item) return;
  const std::string path = plugins::DescriptorPath(folder_, item->text().toStdString(), IsVideo);
  FilterDescr->clear();
  FilterDescr->setPlainText(QString::fromStdString(plugins::PluginDescription(path, language_)));
  FilterDescr->selectAll();
  FilterDescr->setAlignment(Qt::AlignCenter);
  FilterDescr->moveCursor(QTextCursor::Start);
  FilterDescr->show();
}

void TPluginsForm::FiltersListDblClick(QListWidgetItem* item) {
  if (!item) return;
  if (plugins::AddToChain(chain_, folder_, item->text().toStdString(), IsVideo)) RefreshChainRow();
}

void TPluginsForm::FilterClick(int index) {
  for (int k = 0; k < kFilterSlots; ++k) Filter[k]->setFrameShadow(k == index ? QFrame::Sunken : QFrame::Raised);
}

void TPluginsForm::FilterDblClick(int index) {
  plugins::RemoveFromChain(chain_, index);
  RefreshChainRow();
}

bool TPluginsForm::eventFilter(QObject* watched, QEvent* event) {
  for (int k = 0; k < kFilterSlots; ++k) {
    if (watched != Filter[k]) continue;
    if (event->type() == QEvent::MouseButtonPress) FilterClick(k);
    else if (event->type() == QEvent::MouseButtonDblClick) FilterDblClick(k);
    break;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace kv
