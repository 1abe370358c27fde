#pragma once
// SIGINT, SIGTERM, SIGHUP and SIGQUIT as a flag of the main thread. The signal handler only
// writes the signal's number into a pipe; the event loop reads it, so the
// commands decide themselves when to stop: a read at once, a program run
// only after it has ended, never in the middle of its write pass.

#include <QObject>

class QSocketNotifier;

namespace lk24::cli {

class InterruptWatch : public QObject {
  Q_OBJECT
 public:
  // Installs the handlers; one instance per process. Main thread only.
  InterruptWatch();
  ~InterruptWatch() override;

  bool requested() const { return signal_ != 0; }
  int signalNumber() const { return signal_; }

 signals:
  void interrupted();

 private:
  void readPipe();

  QSocketNotifier* notifier_ = nullptr;
  int signal_ = 0;
};

}  // namespace lk24::cli
