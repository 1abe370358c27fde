#pragma once
// SIGINT, SIGTERM, SIGHUP and SIGQUIT as a flag of the main thread. The
// signal handler only writes the signal's number into a pipe; the event
// loop reads it, so the commands decide themselves when to stop: a read at
// once, a program run only after it has ended, never in the middle of its
// write pass.

namespace lk24::cli {

class EventLoop;

class InterruptWatch {
 public:
  // Installs the handlers and watches their pipe on loop, which must
  // outlive the watch; one instance per process. Main thread only.
  explicit InterruptWatch(EventLoop& loop);
  ~InterruptWatch();

  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  bool requested() const { return signal_ != 0; }
  int signalNumber() const { return signal_; }

 private:
  void readPipe();

  EventLoop& loop_;
  int signal_ = 0;
};

}  // namespace lk24::cli
