#include "i18n/property_setters.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMetaProperty>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>

namespace kv::i18n {
namespace {

// The tab widget that shows `w` as one of its pages, if any.
QTabWidget* TabOwner(QObject* w, int* index) {
  auto* widget = qobject_cast<QWidget*>(w);
  if (!widget || !widget->parentWidget()) return nullptr;
  auto* stack = qobject_cast<QStackedWidget*>(widget->parentWidget());
  auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
  if (!tabs) return nullptr;
  *index = tabs->indexOf(widget);
  return *index >= 0 ? tabs : nullptr;
}

std::optional<QString> ReadCaption(QObject* o) {
  if (auto* a = qobject_cast<QAction*>(o)) {
    if (a->isSeparator()) return std::nullopt;
    return a->text();
  }
  if (auto* m = qobject_cast<QMenu*>(o)) return m->title();
  int index = -1;
  if (QTabWidget* tabs = TabOwner(o, &index)) return tabs->tabText(index);
  if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title();
  if (auto* w = qobject_cast<QWidget*>(o); w && w->isWindow()) return w->windowTitle();
  return std::nullopt;
}

bool WriteCaption(QObject* o, const QString& v) {
  if (auto* a = qobject_cast<QAction*>(o)) {
    if (a->isSeparator()) return false;
    a->setText(v);
    return true;
  }
  if (auto* m = qobject_cast<QMenu*>(o)) {
    m->setTitle(v);
    return true;
  }
  int index = -1;
  if (QTabWidget* tabs = TabOwner(o, &index)) {
    tabs->setTabText(index, v);
    return true;
  }
  if (auto* b = qobject_cast<QAbstractButton*>(o)) {
    b->setText(v);
    return true;
  }
  if (auto* l = qobject_cast<QLabel*>(o)) {
    l->setText(v);
    return true;
  }
  if (auto* g = qobject_cast<QGroupBox*>(o)) {
    g->setTitle(v);
    return true;
  }
  if (auto* w = qobject_cast<QWidget*>(o); w && w->isWindow()) {
    w->setWindowTitle(v);
    return true;
  }
  return false;
}

QStringList ListOf(const QString& value, const QString& separator) {
  QStringList items;
  for (const QString& piece : value.split(separator.trimmed().isEmpty() ? QStringLiteral(",") : separator))
    items << piece.trimmed();
  return items;
}

std::optional<QMetaProperty> MetaProperty(QObject* o, const QString& name) {
  const QMetaObject* meta = o->metaObject();
  for (int i = 0; i < meta->propertyCount(); ++i) {
    QMetaProperty p = meta->property(i);
    if (QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) == 0) return p;
  }
  return std::nullopt;
}

}  // namespace

std::optional<QString> ReadTranslatable(QObject* o, const QString& property, const QString& separator) {
  if (!o) return std::nullopt;
  if (property.compare(QLatin1String("Caption"), Qt::CaseInsensitive) == 0) return ReadCaption(o);
  if (property.compare(QLatin1String("Hint"), Qt::CaseInsensitive) == 0) {
    if (auto* a = qobject_cast<QAction*>(o)) return a->toolTip();
    if (auto* w = qobject_cast<QWidget*>(o)) return w->toolTip();
    return std::nullopt;
  }
  if (property.compare(QLatin1String("Items"), Qt::CaseInsensitive) == 0) {
    QStringList items;
    if (auto* c = qobject_cast<QComboBox*>(o)) {
      for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
      return items.join(separator);
    }
    if (auto* l = qobject_cast<QListWidget*>(o)) {
      for (int i = 0; i < l->count(); ++i) items << l->item(i)->text();
      return items.join(separator);
    }
  }
  if (property.compare(QLatin1String("Lines"), Qt::CaseInsensitive) == 0) {
    if (auto* e = qobject_cast<QPlainTextEdit*>(o)) return e->toPlainText().split('\n').join(separator);
  }
  if (auto p = MetaProperty(o, property)) {
    const QVariant v = p->read(o);
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(separator);
    return v.toString();
  }
  return std::nullopt;
}

bool WriteTranslatable(QObject* o, const QString& property, const QString& value, const QString& separator) {
  if (!o) return false;
  if (property.compare(QLatin1String("Caption"), Qt::CaseInsensitive) == 0) return WriteCaption(o, value);
  if (property.compare(QLatin1String("Hint"), Qt::CaseInsensitive) == 0) {
    if (auto* a = qobject_cast<QAction*>(o)) {
      a->setToolTip(value);
      return true;
    }
    if (auto* w = qobject_cast<QWidget*>(o)) {
      w->setToolTip(value);
      return true;
    }
    return false;
  }
  if (property.compare(QLatin1String("Items"), Qt::CaseInsensitive) == 0) {
    if (auto* c = qobject_cast<QComboBox*>(o)) {
      const int current = c->currentIndex();
      c->clear();
      c->addItems(ListOf(value, separator));
      c->setCurrentIndex(current < c->count() ? current : c->count() - 1);
      return true;
    }
    if (auto* l = qobject_cast<QListWidget*>(o)) {
      l->clear();
      l->addItems(ListOf(value, separator));
      return true;
    }
  }
  if (property.compare(QLatin1String("Lines"), Qt::CaseInsensitive) == 0) {
    if (auto* e = qobject_cast<QPlainTextEdit*>(o)) {
      e->setPlainText(ListOf(value, separator).join('\n'));
      return true;
    }
  }
  auto p = MetaProperty(o, property);
  if (!p || !p->isWritable()) return false;
  switch (p->typeId()) {
    case QMetaType::QString:
      return p->write(o, value);
    case QMetaType::Int: {
      bool ok = false;
      const int n = value.trimmed().toInt(&ok, 0);
      return ok && p->write(o, n);
    }
    case QMetaType::QStringList:
      return p->write(o, ListOf(value, separator));
    default:
      return false;
  }
}

QList<QPair<QString, QString>> TranslatableTexts(QObject* o, const QString& separator) {
  QList<QPair<QString, QString>> texts;
  if (auto caption = ReadCaption(o); caption && !caption->isEmpty()) texts.append({QStringLiteral("Caption"), *caption});
  // Tool tips of actions default to their text; only widgets' own hints are listed.
  if (auto* w = qobject_cast<QWidget*>(o); w && !w->toolTip().isEmpty())
    texts.append({QStringLiteral("Hint"), w->toolTip()});
  return texts;
}

}  // namespace kv::i18n
