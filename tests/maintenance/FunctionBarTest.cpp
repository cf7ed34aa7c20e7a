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

// Each of the twelve bar buttons shows the key that presses it, and its caption whole.
void expectEveryKeyShown(WindowBase& window) {
  window.show();
  QApplication::processEvents();
  const auto& bar = window.functionButtons();
  ASSERT_EQ(bar.size(), 12u);
  for (size_t i = 0; i < bar.size(); ++i) {
    SCOPED_TRACE(window.windowTitle().toStdString() + " F" + std::to_string(i + 1));
    EXPECT_EQ(keyShownFor(window, bar[i]), QStringLiteral("F%1").arg(i + 1));
    EXPECT_LE(bar[i]->fontMetrics().horizontalAdvance(bar[i]->text()), bar[i]->width());
  }
}

TEST(FunctionBar, EveryButtonOfTheMaintenanceWindowsShowsItsKey) {
  TestProgram p;
  ReaderWindow readers(p.ctx());
  expectEveryKeyShown(readers);
  StoryWindow stories(p.ctx());
  expectEveryKeyShown(stories);
}

}  // namespace
