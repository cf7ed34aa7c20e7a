#include "app/Windows.h"

#include <QString>

#include "core/AppContext.h"
#include "intake/QuorCsvGet.h"
#include "intake/QuorMail002m.h"
#include "intake/QuorhtmlOut.h"
#include "maintenance/QuorStory.h"
#include "maintenance/QuorStorySerch.h"
#include "maintenance/QuorUserMnt.h"
#include "maintenance/QuorUserMntSub.h"
#include "sending/QuorSnd.h"
#include "settings/PasForm.h"
#include "settings/QuorMail001m.h"

std::vector<std::unique_ptr<QDialog>> createWindows(AppContext& ctx) {
  std::vector<std::unique_ptr<QDialog>> windows;
  auto add = [&](WindowId id, std::unique_ptr<QDialog> w) {
    ctx.setWindow(id, w.get());
    windows.push_back(std::move(w));
  };
  add(WindowId::EnvSet, std::make_unique<TFormEnvSet>(ctx));
  add(WindowId::FtpRcv, std::make_unique<TForm_Ftp_RCv>(ctx));
  add(WindowId::Password, std::make_unique<TForm2>());
  add(WindowId::StorySearch, std::make_unique<TForm3>(ctx));
  add(WindowId::UserMnt, std::make_unique<TForm4>(ctx));
  add(WindowId::UserSearch, std::make_unique<TFormQuorUserMntSub>(ctx));
  add(WindowId::Send, std::make_unique<TFSsnd>(ctx));
  add(WindowId::Story, std::make_unique<TForm5>(ctx));
  add(WindowId::Html, std::make_unique<Tfhtml_make>(ctx));
  add(WindowId::Csv, std::make_unique<TForm6>(ctx));
  return windows;
}
