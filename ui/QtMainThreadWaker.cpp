#include "ui/QtMainThreadWaker.h"

#include "serial/AfMainThread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace lk24 {

namespace {

constexpr auto kWakeEvent = QEvent::Type(QEvent::User + 257);

class SyncWindow : public QObject {
 protected:
  // One token per queued job, and nothing else is sent here. Qt's own
  // dispatch brings it, so this code never reads the event object a worker
  // thread allocated (the thread checker cannot see Qt's hand-over of it).
  void customEvent(QEvent*) override { AfRunMainThreadJobs(); }
};

SyncWindow* syncWindow = nullptr;  // main thread only

// Runs when the application object goes away: the object cannot outlive it.
void endHandOver() {
  AfEndMainThreadJobs();  // no token is posted after this
  delete syncWindow;      // drops the tokens still posted to it
  syncWindow = nullptr;
}

}  // namespace

void InstallQtPostedEventWaker() {
  if (syncWindow != nullptr || QCoreApplication::instance() == nullptr) return;
  syncWindow = new SyncWindow;
  syncWindow->setObjectName(QStringLiteral("AfSafeSyncObjWnd"));
  QObject* target = syncWindow;
  AfSetMainThreadWaker([target] { QCoreApplication::postEvent(target, new QEvent(kWakeEvent)); });
  qAddPostRoutine(endHandOver);
}

}  // namespace lk24
