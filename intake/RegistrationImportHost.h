#pragma once
#include <string>

#include "intake/ImportHost.h"

// The FTP receive window as the registration import sees it: besides the running flag
// (Run_Flg), the count (Reg_Cnt shown in EOCnt) and the event pump, its message line
// and its two logs. ErrLogWrite is expected to raise ErrLog_Flg once the line is written
// (RunLog::ErrLogWrite answers whether it was).
class RegistrationImportHost : public ImportHost {
 public:
  // LMSG.
  virtual void showMessage(const std::string& text) = 0;
  virtual void LogWrite(const std::string& text) = 0;
  virtual void ErrLogWrite(const std::string& text) = 0;
};
