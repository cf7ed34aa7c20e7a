#pragma once
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

class QSocketNotifier;

// Ends the program cleanly on SIGTERM, SIGINT or SIGHUP (a kill, Ctrl+C in the terminal,
// a logout). The handler itself only writes the signal into a pipe; the user-interface
// thread reads it through a socket notifier and asks every running RunThread to stop,
// as "中 断" does, closing any message box a run may be waiting on. Once no run is left,
// finished runs once: the program closes its database and quits. One at a time.
class ShutdownOnSignal : public QObject {
 public:
  explicit ShutdownOnSignal(std::function<void()> finished, QObject* parent = nullptr);
  // Gives the signals back to the handlers found at construction.
  ~ShutdownOnSignal() override;
  ShutdownOnSignal(const ShutdownOnSignal&) = delete;
  ShutdownOnSignal& operator=(const ShutdownOnSignal&) = delete;

  // Installs the handlers again over any that a library set in the meantime (the
  // database engine installs its own for SIGINT and SIGTERM when it starts).
  void reinstall();
  // A signal has come; done: finished has run.
  bool shuttingDown() const { return m_shuttingDown; }
  bool done() const { return m_done; }

 private:
  void signalled();
  void check();

  std::function<void()> m_finished;
  std::unique_ptr<QSocketNotifier> m_notifier;
  QTimer m_poll;
  bool m_shuttingDown = false;
  bool m_done = false;
};
