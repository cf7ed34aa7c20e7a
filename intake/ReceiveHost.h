#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "intake/RegistrationImportHost.h"

// The FTP receive window as its FTP part sees it: besides what the import uses, the
// transfer display (LCount, ProgressBar1), the directory memo and a pause that keeps
// the window alive.
class ReceiveHost : public RegistrationImportHost {
 public:
  // The download is about to start: "0 of size", progress bar 0..size, shown.
  virtual void startProgress(std::int64_t size) = 0;
  // Bytes received so far of size.
  virtual void showProgress(std::int64_t count, std::int64_t size) = 0;
  // Ftp_Dir_Memo receives a directory listing.
  virtual void showListing(const std::vector<std::string>& lines) = 0;
  virtual void pause(int ms) = 0;
};
