#pragma once
#include <QStringList>
#include <memory>
#include <vector>

#include "core/MainMenu.h"

class AppContext;
class QDialog;
class QWidget;

// Creates the ten working windows, in their fixed order, and registers each with the
// context. They live as long as the returned list.
std::vector<std::unique_ptr<QDialog>> createWindows(AppContext& ctx);

// Gives the menu what it asks of the program: the settings pages still incomplete, the
// readers due now, and the opening of each task's window.
void connectMenu(MainMenu& menu, AppContext& ctx);

// Opens the window of a main-menu task in its mode and returns when it is closed;
// receive-then-send opens the receive window, then the send window. Both receive tasks
// first need the FTP settings: without them the operator is told which fields are
// missing and offered the settings' FTP page instead.
void openMenuTask(AppContext& ctx, MainMenu::Task task);

// The pages of the settings window ("FTPの設定", "メール設定") whose values the runs
// need and the settings files lack: the SMTP server and the sender's address; the FTP
// page only when it is filled in part (FTP serves the web registrations alone, so an
// empty page is complete). The main menu's status line names them.
QStringList incompleteSettingsPages(const AppContext& ctx);
// The readers the send run would find due now.
int dueReaderCount(AppContext& ctx);
