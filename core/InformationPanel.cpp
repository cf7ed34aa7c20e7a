#include "core/InformationPanel.h"

#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

QLabel* makeInformationPanel(QWidget* parent) {
  auto* panel = new QLabel(parent);
  panel->setObjectName(QStringLiteral("webInfo"));
  panel->setMinimumHeight(60);
  panel->setMaximumHeight(100);
  panel->setAlignment(Qt::AlignCenter);
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setTextFormat(Qt::RichText);
  panel->setText(QStringLiteral("<b>QuorMail クオル Ver1.5</b><br>ステップメール配信ツール<br>"
                                "<a href=\"https://example.com/quormail\">製品情報</a>"));
  QObject::connect(panel, &QLabel::linkActivated, panel,
                   [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
  return panel;
}
