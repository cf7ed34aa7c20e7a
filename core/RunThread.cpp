#include "core/RunThread.h"

#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <exception>
#include <mutex>
#include <set>

#include "core/Sjis.h"

namespace {
std::mutex g_allMutex;
std::set<RunThread*> g_all;
}  // namespace

RunThread::RunThread(QObject* parent) : QObject(parent) {
  std::lock_guard<std::mutex> lock(g_allMutex);
  g_all.insert(this);
}

RunThread::~RunThread() {
  {
    std::lock_guard<std::mutex> lock(g_allMutex);
    g_all.erase(this);
  }
  requestStop();
  if (m_thread.joinable()) waitProcessingEvents();
  join();
}

bool RunThread::start(std::function<void()> job) {
  if (m_running.load()) return false;
  join();
  m_stop.store(false);
  m_running.store(true);
  m_thread = std::thread([this, job = std::move(job)] {
    QString error;
    try {
      job();
    } catch (const std::exception& e) {
      error = Sjis::toQ(e.what());
      if (error.isEmpty()) error = QStringLiteral("不明なエラー");
    } catch (...) {
      error = QStringLiteral("不明なエラー");
    }
    // The flag drops on the user-interface thread, just before finished() is seen, so
    // a window never sees "not running" while the job's last posts are still queued.
    QMetaObject::invokeMethod(
        this,
        [this, error] {
          join();
          m_running.store(false);
          emit finished(error);
        },
        Qt::QueuedConnection);
  });
  return true;
}

void RunThread::post(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void RunThread::call(const std::function<void()>& fn) {
  if (QThread::currentThread() == thread()) {
    fn();
    return;
  }
  QMetaObject::invokeMethod(this, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void RunThread::waitProcessingEvents() {
  if (!m_running.load()) return;
  // The flag drops on this thread, in the same step that emits finished().
  QEventLoop loop;
  connect(this, &RunThread::finished, &loop, &QEventLoop::quit);
  loop.exec();
}

void RunThread::stopAndWait(const QObject* receiver) {
  if (receiver) disconnect(this, nullptr, receiver, nullptr);
  requestStop();
  waitProcessingEvents();
}

void RunThread::join() {
  if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

void RunThread::requestStopAll() {
  std::lock_guard<std::mutex> lock(g_allMutex);
  for (RunThread* t : g_all) t->requestStop();
}

bool RunThread::anyRunning() {
  std::lock_guard<std::mutex> lock(g_allMutex);
  for (const RunThread* t : g_all)
    if (t->running()) return true;
  return false;
}
