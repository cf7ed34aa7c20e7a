// Filling a striped grid with 100,000 rows of 15 columns and showing it, against
// filling a plain vector of the same strings (the floor any grid must pay).
#include <QApplication>
#include <chrono>
#include <iostream>
#include <vector>

#include "bench/BenchSupport.h"
#include "controls/StripedGrid.h"

namespace {
QString cellText(int row, int col) {
  return QStringLiteral("r%1c%2 テキスト").arg(row).arg(col);
}
}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int rows = 100000, cols = 15;
  const double rssBefore = bench::residentMb();

  auto t0 = std::chrono::steady_clock::now();
  std::vector<std::vector<QString>> plain(static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    plain[static_cast<size_t>(r)].reserve(cols);
    for (int c = 0; c < cols; ++c) plain[static_cast<size_t>(r)].push_back(cellText(r, c));
  }
  const double reference = bench::seconds(t0);
  plain.clear();
  plain.shrink_to_fit();

  auto t1 = std::chrono::steady_clock::now();
  StripedGrid grid;
  for (int c = 0; c < cols; ++c) grid.columns().add().setCaption(QStringLiteral("列%1").arg(c));
  grid.setLineStyle(GridLineStyle::striped);
  grid.resize(858, 400);
  grid.beginUpdate();
  grid.setRowCount(rows + 1);
  for (int r = 1; r <= rows; ++r) {
    std::vector<QString> cells;
    cells.reserve(cols);
    for (int c = 0; c < cols; ++c) cells.push_back(cellText(r, c));
    grid.setRow(r, std::move(cells));
  }
  grid.endUpdate();
  grid.show();
  QApplication::processEvents();
  const double ours = bench::seconds(t1);

  std::cout << "fill " << rows << " x " << cols << " grid and show it\n"
            << "  ours (StripedGrid):      " << ours * 1000 << " ms (target < 1000 ms)\n"
            << "  reference (plain vector):  " << reference * 1000 << " ms\n"
            << "  ratio ours/reference:      " << ours / reference << "\n"
            << "  resident: " << bench::residentMb() << " MB for the whole process (target < 300 MB; "
            << rssBefore << " MB before filling)\n";
}
