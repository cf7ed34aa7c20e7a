#pragma once
#include <QColor>
#include <QString>

class QLabel;
class QWidget;

// The large bold outcome line of the intake windows ("正常終了", "エラー又は中断"),
// hidden until a run ends but keeping its room in the layout; an invalid colour keeps
// the palette's text colour.
QLabel* makeResultLabel(const QString& caption, QWidget* parent, const QColor& colour = QColor());
