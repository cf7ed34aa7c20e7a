#include "core/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

// Without Qt's Japanese translation the standard buttons would read English: their
// English texts are replaced by Japanese ones. Translated texts are left alone.
void makeButtonsJapanese(QMessageBox& box) {
  static const struct {
    QMessageBox::StandardButton button;
    const char* english;
    const char* japanese;
  } texts[] = {{QMessageBox::Yes, "&Yes", "はい(&Y)"},
               {QMessageBox::No, "&No", "いいえ(&N)"},
               {QMessageBox::Cancel, "Cancel", "キャンセル"}};
  for (const auto& t : texts) {
    QAbstractButton* b = box.button(t.button);
    if (b && b->text() == QLatin1String(t.english)) b->setText(QString::fromUtf8(t.japanese));
  }
}

// The window a box or file dialog belongs to: the modal window being worked in (it stays
// in sight behind the dialog), else the active one.
QWidget* owner() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

// The program's own service: real message boxes and file dialogs.
class WidgetDialogs : public Dialogs {
 public:
  MsgResult message(const QString& title, const QString& text, MsgIcon icon, MsgButtons buttons) override {
    QMessageBox box(owner());
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
      case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
      case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
      case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
      case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
      case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
      case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
      case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
      case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
      case MsgButtons::YesNoDefaultNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::No);
        break;
      case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    makeButtonsJapanese(box);
    switch (box.exec()) {
      case QMessageBox::Yes: return MsgResult::Yes;
      case QMessageBox::No: return MsgResult::No;
      case QMessageBox::Ok: return MsgResult::Ok;
      default: return MsgResult::Cancel;
    }
  }

  QString openFile(const QString& title, const QString& dir, const QString& filter) override {
    return QFileDialog::getOpenFileName(owner(), title, dir, filter);
  }

  QString saveFile(const QString& title, const QString& dir, const QString& fileName,
                   const QString& filter) override {
    const QString start = fileName.isEmpty() ? dir : dir + "/" + fileName;
    return QFileDialog::getSaveFileName(owner(), title, start, filter);
  }

  QString chooseFolder(const QString& title, const QString& dir) override {
    // Qt's own folder dialog offers "Create New Folder".
    return QFileDialog::getExistingDirectory(owner(), title, dir,
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  }

  std::optional<QString> askText(const QString& title, const QString& label, const QString& initial) override {
    bool ok = false;
    const QString text =
        QInputDialog::getText(owner(), title, label, QLineEdit::Normal, initial, &ok);
    if (!ok) return std::nullopt;
    return text;
  }
};

WidgetDialogs g_widgetDialogs;
Dialogs* g_installed = nullptr;

}  // namespace

Dialogs& Dialogs::instance() { return g_installed ? *g_installed : g_widgetDialogs; }

void Dialogs::install(Dialogs* service) { g_installed = service; }

QString appTitle() { return QStringLiteral("クオル"); }

void showMessage(const QString& text) {
  Dialogs::instance().message(appTitle(), text, MsgIcon::None, MsgButtons::Ok);
}

void showError(const QString& text) {
  Dialogs::instance().message(appTitle(), text, MsgIcon::Error, MsgButtons::Ok);
}

bool askYesNo(const QString& text, MsgIcon icon, const QString& title) {
  return Dialogs::instance().message(title, text, icon, MsgButtons::YesNo) == MsgResult::Yes;
}

bool askBeforeLosing(const QString& text) {
  return Dialogs::instance().message(appTitle(), text, MsgIcon::Warning, MsgButtons::YesNoDefaultNo) == MsgResult::Yes;
}
