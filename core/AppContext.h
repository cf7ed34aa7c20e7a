#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/Database.h"

class QDialog;

// The windows that live from start-up to the end, in their creation order.
enum class WindowId {
  EnvSet,       // TFormEnvSet, settings
  FtpRcv,       // TForm_Ftp_RCv, FTP receive
  Password,     // TForm2, password prompt
  StorySearch,  // TForm3
  UserMnt,      // TForm4, reader maintenance
  UserSearch,   // TFormQuorUserMntSub
  Send,         // TFSsnd
  Story,        // TForm5, story maintenance
  Html,         // Tfhtml_make, registration form output
  Csv,          // TForm6, CSV import
  Count
};

// What the main menu owns and every window reaches: the program folder, the one
// database connection with its one statement object, the window flags and the windows.
class AppContext {
 public:
  explicit AppContext(std::filesystem::path programDir);

  const std::filesystem::path& programDir() const { return m_programDir; }
  // A file of the program, beside the executable.
  std::filesystem::path file(const std::string& name) const { return m_programDir / name; }

  // Sets the connection's parameter lines for QUORMAIL.GDB beside the program and
  // opens it; the client's error propagates as DbError.
  void openDatabase();
  // QUORMAIL.GDB beside the program, unless the settings file names another database.
  std::string databaseName() const;

  QDialog* window(WindowId id) const { return m_windows[static_cast<size_t>(id)]; }
  void setWindow(WindowId id, QDialog* w) { m_windows[static_cast<size_t>(id)] = w; }

  Database SQLConnection1;
  Statement SQLDataSet1{SQLConnection1};

  // Init flags: the window initialises itself on its next activation and lowers the flag.
  std::uint8_t Env_Init_Flg = 0;
  std::uint8_t Ftp_Init_Flg = 0;
  std::uint8_t User_Init_Flg = 0;
  std::uint8_t Story_Init_Flg = 0;
  std::uint8_t Html_Init_Flg = 0;
  std::uint8_t Csv_Init_Flg = 0;
  std::uint8_t Snd_Init_Flg = 0;
  // Mode flags: 1 = the window waits for the operator; 0 = half of receive-then-send.
  std::uint8_t Rcv_Only_Flg = 0;
  std::uint8_t Snd_Only_Flg = 0;
  // Page the settings window shows when initialised: 0 FTP, 1 Mail.
  int Env_Page_No = 0;

 private:
  std::filesystem::path m_programDir;
  std::array<QDialog*, static_cast<size_t>(WindowId::Count)> m_windows{};
};

// The fixed parameter lines of the connection, for the given database name.
std::vector<std::string> connectionParams(const std::string& database);
