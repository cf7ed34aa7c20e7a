#pragma once
#include <memory>
#include <vector>

class AppContext;
class QDialog;
class QWidget;

// Creates the ten working windows, in their fixed order, and registers each with the
// context. They live as long as the returned list.
std::vector<std::unique_ptr<QDialog>> createWindows(AppContext& ctx);
