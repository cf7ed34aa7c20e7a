#pragma once
#include <optional>
#include <string>

class AppContext;

// What other windows use of the settings windows.

enum class PasswordFor { Ftp, Pop3, Smtp };

// Asks for the FTP, POP3 or SMTP password with the password prompt until askSavedOrTypedPassword accepts it;
// the trimmed password, or nothing when the operator cancels.
std::optional<std::string> askPassword(AppContext& ctx, PasswordFor which);

// Opens the settings window modally on a page (0 FTP, 1 Mail) with its settings
// reloaded; returns the dialog's result.
int openSettingsWindow(AppContext& ctx, int page);
