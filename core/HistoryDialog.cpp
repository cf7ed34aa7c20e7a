#include "core/HistoryDialog.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/Reader.h"
#include "core/Sjis.h"

namespace {

// "2026/12/09 08:00:00"
QString timeText(const DateStamp& t) { return Sjis::toQ(t.shownDate() + ' ' + t.shownTime()); }

}  // namespace

HistoryDialog::HistoryDialog(const QString& title, const std::vector<HistoryEntry>& entries, bool withReader,
                             QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("SendHistory"));
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);

  note = new QLabel(entries.empty() ? QStringLiteral("履歴はありません。") : QString(), this);
  note->setVisible(entries.empty());
  layout->addWidget(note);

  QStringList captions = {QStringLiteral("日時"), QStringLiteral("ストーリー"), QStringLiteral("結果"),
                          QStringLiteral("コード"), QStringLiteral("応答")};
  if (withReader) captions.insert(1, QStringLiteral("読者番号"));
  table = new QTableWidget(static_cast<int>(entries.size()), static_cast<int>(captions.size()), this);
  table->setHorizontalHeaderLabels(captions);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->verticalHeader()->setVisible(false);
  table->horizontalHeader()->setStretchLastSection(true);
  for (int row = 0; row < static_cast<int>(entries.size()); ++row) {
    const HistoryEntry& e = entries[static_cast<size_t>(row)];
    QStringList cells = {timeText(e.time), QString::number(e.story), Sjis::toQ(outcomeText(e.outcome)),
                         Sjis::toQ(e.code), Sjis::toQ(e.reply).simplified()};
    if (withReader) cells.insert(1, QString::fromStdString(idText(e.readerId)));
    for (int column = 0; column < cells.size(); ++column) table->setItem(row, column, new QTableWidgetItem(cells[column]));
  }
  table->resizeColumnsToContents();
  layout->addWidget(table, 1);

  auto* close = new QPushButton(QStringLiteral("閉じる"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  resize(760, 360);
}
