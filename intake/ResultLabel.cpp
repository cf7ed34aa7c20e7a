#include "intake/ResultLabel.h"

#include <QLabel>

QLabel* makeResultLabel(const QString& caption, QWidget* parent, const QColor& colour) {
  auto* l = new QLabel(caption, parent);
  l->setAlignment(Qt::AlignCenter);
  QFont f = l->font();
  f.setPointSize(f.pointSize() + 4);
  f.setBold(true);
  l->setFont(f);
  if (colour.isValid()) {
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
  }
  // Its room is kept while hidden: showing it never resizes the window.
  QSizePolicy kept = l->sizePolicy();
  kept.setRetainSizeWhenHidden(true);
  l->setSizePolicy(kept);
  l->hide();
  return l;
}
