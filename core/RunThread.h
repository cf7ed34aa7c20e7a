#pragma once
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// Runs one job of a window (a receive, import or send run) on a worker thread while
// the window stays on the user-interface thread. The job reaches the window only
// through post() (fire and forget) and call() (waits for the answer, e.g. a question
// box); both execute on the user-interface thread. A stop request is an atomic flag
// the job's engine checks in every wait.
class RunThread : public QObject {
  Q_OBJECT
 public:
  explicit RunThread(QObject* parent = nullptr);
  ~RunThread() override;

  // Starts job on a new worker thread; false when a job is still running.
  bool start(std::function<void()> job);
  bool running() const { return m_running.load(); }

  void requestStop() { m_stop.store(true); }
  bool stopRequested() const { return m_stop.load(); }
  const std::atomic<bool>& stopFlag() const { return m_stop; }

  // From the worker: runs fn on the user-interface thread without waiting.
  void post(std::function<void()> fn);
  // From the worker: runs fn on the user-interface thread and waits until it returned.
  // Called on the user-interface thread itself, fn simply runs.
  void call(const std::function<void()>& fn);

  // Keeps the user-interface thread's events flowing until the job has ended (for a
  // window that closes, and for tests).
  void waitProcessingEvents();
  // For a window that goes away: its finished() slot is no longer called, the job is
  // asked to stop and is waited for while events keep flowing.
  void stopAndWait(const QObject* receiver);

  // Every RunThread in the program, for ending the program cleanly: a stop request to
  // all of them, and whether any job is still running.
  static void requestStopAll();
  static bool anyRunning();

 signals:
  // On the user-interface thread once the job has ended. error is the text of an
  // exception the job did not handle itself, empty otherwise.
  void finished(const QString& error);

 private:
  void join();
  std::thread m_thread;
  std::atomic<bool> m_running{false};
  std::atomic<bool> m_stop{false};
};
