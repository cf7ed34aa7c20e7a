#pragma once
#include <filesystem>
#include <string>

// Where the operator's data lives: the database, the settings and password files and
// the logs. A program folder that holds QUORMAIL.GDB or QuorMail.env is a complete
// portable installation and is used as it is; otherwise $QUORMAIL_HOME when set, else
// $XDG_DATA_HOME/QuorMail, else ~/.local/share/QuorMail.
std::filesystem::path chooseDataFolder(const std::filesystem::path& programDir);

// Whether the database name is a file of this machine (not "host:/path" on a server).
bool isLocalDatabase(const std::string& name);
