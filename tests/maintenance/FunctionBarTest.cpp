#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "maintenance/ReaderWindow.h"
#include "maintenance/StoryWindow.h"
#include "tests/support/TestProgram.h"

namespace {

// What the operator reads at a bar button: its own caption when that names the key,
// else the key label standing over it.
QString keyShownFor(const QWidget& window, const QPushButton* button) {
  if (button->text().startsWith(QLatin1Char('F'))) return QString(button->text()).remove(QLatin1Char('-'));
  for (const QLabel* label : window.findChildren<QLabel*>())
    if (label->buddy() == button && label->isVisibleTo(&window) && label->geometry().bottom() <= button->y())
      return label->text();
  return QString();
}

void expectEveryKeyShown(WindowBase& window, const std::vector<QString>& captions) {
  window.show();
  QApplication::processEvents();
  const auto& bar = window.functionButtons();
  for (size_t i = 0; i < bar.size(); ++i) {
    EXPECT_EQ(bar[i]->text(), captions[i]);  // the captions stay as they are
    EXPECT_EQ(keyShownFor(window, bar[i]), QStringLiteral("F%1").arg(i + 1)) << window.windowTitle().toStdString() << i;
  }
}

TEST(FunctionBar, EveryButtonOfTheMaintenanceWindowsShowsItsKey) {
  TestProgram p;
  ReaderWindow readers(p.ctx());
  expectEveryKeyShown(readers, {QStringLiteral("登 録"), QStringLiteral("次"), QStringLiteral("前"), QStringLiteral("履 歴"),
                                QStringLiteral("F5"), QStringLiteral("クリア"), QStringLiteral("F-7"), QStringLiteral("削 除"),
                                QStringLiteral("F-9"), QStringLiteral("検 索"), QStringLiteral("F-11"), QStringLiteral("終了")});
  StoryWindow stories(p.ctx());
  expectEveryKeyShown(stories, {QStringLiteral("登 録"), QStringLiteral("次"), QStringLiteral("前"),
                                QStringLiteral("読者名挿入"), QStringLiteral("F5"), QStringLiteral("クリア"),
                                QStringLiteral("F-7"), QStringLiteral("削 除"), QStringLiteral("F-9"), QStringLiteral("検索"),
                                QStringLiteral("F-11"), QStringLiteral("ｷｬﾝｾﾙ")});
}

}  // namespace
