#pragma once
#include <filesystem>
#include <istream>
#include <string>

class Statement;
class RegistrationImportHost;

// Adds the registrations of the downloaded "registdata.cgi" as new readers: one line
// "name TAB address TAB yyyy/mm/dd hh:nn:ss" per registration, numbered on from the
// largest reader number. Refused lines go to the host's error log; every stage to its
// run log. Each insert commits on its own: readers inserted before a failure or a stop
// stay.
class RegistrationImport {
 public:
  RegistrationImport(Statement& q, RegistrationImportHost& host);

  // The import of a receive run; true when the run flag is still set at its end.
  bool DB_Insert_Main(const std::filesystem::path& file);

 private:
  bool recordLoop(std::istream& in);
  void errorLine(const std::string& text);
  // Shows the text on the message line and writes it to the run log.
  void showAndLog(const std::string& text);
  void failure(const std::string& text);

  Statement& m_q;
  RegistrationImportHost& m_host;
};
