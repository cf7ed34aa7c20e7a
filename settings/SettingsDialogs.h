#pragma once
#include <optional>
#include <string>

#include "settings/SettingsWindow.h"

class AppContext;

// What other windows use of the settings windows.

enum class PasswordFor { Ftp, Pop3, Smtp };

// Asks for the FTP, POP3 or SMTP password with the password prompt until askSavedOrTypedPassword accepts it;
// the trimmed password, or nothing when the operator cancels.
std::optional<std::string> askPassword(AppContext& ctx, PasswordFor which);

// Opens the settings window modally on a page with its settings reloaded; returns the
// dialog's result.
int openSettingsWindow(AppContext& ctx, SettingsWindow::Page page);
