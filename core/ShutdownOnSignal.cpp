#include "core/ShutdownOnSignal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <stdexcept>

#include "core/RunThread.h"

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[3];

// Runs in whatever thread the signal hit: only async-signal-safe calls.
void onSignal(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

void install() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : kSignals) ::sigaction(s, &action, nullptr);
}

}  // namespace

ShutdownOnSignal::ShutdownOnSignal(std::function<void()> finished, QObject* parent)
    : QObject(parent), m_finished(std::move(finished)) {
  if (g_pipe[0] >= 0) throw std::logic_error("ShutdownOnSignal exists already");
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("Cannot create the signal pipe");
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], nullptr, &g_previous[i]);
  m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
  connect(m_notifier.get(), &QSocketNotifier::activated, this, &ShutdownOnSignal::signalled);
  m_poll.setInterval(50);
  connect(&m_poll, &QTimer::timeout, this, &ShutdownOnSignal::check);
  install();
}

ShutdownOnSignal::~ShutdownOnSignal() {
  for (size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
  m_notifier.reset();
  ::close(g_pipe[0]);
  ::close(g_pipe[1]);
  g_pipe[0] = g_pipe[1] = -1;
}

void ShutdownOnSignal::reinstall() { install(); }

void ShutdownOnSignal::signalled() {
  char bytes[16];
  while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
  }
  if (m_shuttingDown) return;
  m_shuttingDown = true;
  RunThread::requestStopAll();
  // The rest happens from the event loop, so that a box this slot interrupted can close
  // and a run waiting on its answer can go on to its end.
  m_poll.start();
  QTimer::singleShot(0, this, &ShutdownOnSignal::check);
}

void ShutdownOnSignal::check() {
  if (m_done) return;
  if (RunThread::anyRunning()) {
    // A run may be waiting for the operator's answer to a box: nobody will give it.
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) box->done(QMessageBox::Cancel);
    return;
  }
  m_poll.stop();
  m_done = true;
  m_finished();
}
