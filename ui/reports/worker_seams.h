// Long report work off the window's thread: RunOnWorker runs a task on a
// worker thread while the window's events keep running (repaint, STOP), and
// returns when the task has finished, with its result or its exception. The
// task reaches the person through GuiOperator and GuiLauncher, which carry
// each question to the window's thread and wait there for the answer.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <atomic>
#include <exception>
#include <functional>
#include <optional>
#include <thread>
#include <type_traits>

#include "common/seams.h"

namespace orb {

// Runs fn() on `context`'s thread and returns its result; directly when
// called on that thread. An exception thrown there is thrown here.
template <typename F>
auto OnThreadOf(QObject* context, F fn) -> std::invoke_result_t<F> {
  using R = std::invoke_result_t<F>;
  if (QThread::currentThread() == context->thread()) return fn();
  std::exception_ptr error;
  if constexpr (std::is_void_v<R>) {
    QMetaObject::invokeMethod(
        context,
        [&] {
          try {
            fn();
          } catch (...) {
            error = std::current_exception();
          }
        },
        Qt::BlockingQueuedConnection);
    if (error) std::rethrow_exception(error);
  } else {
    std::optional<R> result;
    QMetaObject::invokeMethod(
        context,
        [&] {
          try {
            result.emplace(fn());
          } catch (...) {
            error = std::current_exception();
          }
        },
        Qt::BlockingQueuedConnection);
    if (error) std::rethrow_exception(error);
    return std::move(*result);
  }
}

class GuiOperator final : public Operator {
 public:
  GuiOperator(Operator& inner, QObject* context) : inner_(inner), context_(context) {}
  Answer ask(std::string_view text, Buttons buttons) override {
    return OnThreadOf(context_, [&] { return inner_.ask(text, buttons); });
  }
  std::optional<std::string> input(std::string_view prompt, std::string_view title,
                                   std::string_view initial) override {
    return OnThreadOf(context_, [&] { return inner_.input(prompt, title, initial); });
  }

 private:
  Operator& inner_;
  QObject* context_;
};

class GuiLauncher final : public Launcher {
 public:
  GuiLauncher(Launcher& inner, QObject* context) : inner_(inner), context_(context) {}
  bool openPath(const std::filesystem::path& path) override {
    return OnThreadOf(context_, [&] { return inner_.openPath(path); });
  }
  bool openUrl(std::string_view url) override {
    return OnThreadOf(context_, [&] { return inner_.openUrl(url); });
  }

 private:
  Launcher& inner_;
  QObject* context_;
};

// The worker's event loop: the window's own loop keeps running meanwhile,
// so there is nothing to process and no reason to sleep.
class WorkerEventLoop final : public EventLoop {
 public:
  void processEvents() override {}
  void sleepMs(int) override {}
};

// Runs task() on a new thread while this thread runs its events, and returns
// once the task has finished (its result, or its exception rethrown here).
template <typename F>
auto RunOnWorker(F task) -> std::invoke_result_t<F> {
  using R = std::invoke_result_t<F>;
  QEventLoop loop;
  std::atomic<bool> done{false};
  std::exception_ptr error;
  std::conditional_t<std::is_void_v<R>, bool, std::optional<R>> result{};
  std::thread worker([&] {
    try {
      if constexpr (std::is_void_v<R>)
        task();
      else
        result.emplace(task());
    } catch (...) {
      error = std::current_exception();
    }
    done = true;
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  });
  loop.exec();
  // The loop also ends when the program is ending: the task's questions
  // still need this thread until the task is over.
  while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  worker.join();
  if (error) std::rethrow_exception(error);
  if constexpr (!std::is_void_v<R>) return std::move(*result);
}

}  // namespace orb
