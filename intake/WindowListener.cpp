#include "intake/WindowListener.h"

#include "core/Dialogs.h"
#include "core/RunThread.h"
#include "core/Sjis.h"

void WindowListener::showBox(OperatorBox box, const std::string& text) {
  m_thread.call([&] {
    if (box == OperatorBox::Error)
      showError(Sjis::toQ(text));
    else
      showMessage(Sjis::toQ(text));
  });
}
