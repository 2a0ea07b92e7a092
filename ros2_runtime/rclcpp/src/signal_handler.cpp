#include "signal_handler.hpp"

#include <semaphore.h>
#include <signal.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "rclcpp/logging.hpp"

namespace rclcpp
{
namespace detail
{
namespace
{

struct Handlers
{
  std::mutex mutex;
  bool installed = false;
  struct sigaction old_sigint {};
  struct sigaction old_sigterm {};
  bool has_sigint = false;
  bool has_sigterm = false;
  sem_t wakeup;
  std::atomic<int> last_signal{0};
  // Joined when the handlers are uninstalled: a worker still holding a
  // context when main returns would destroy it, and its DDS participant,
  // while the exit handlers tear Fast DDS down.
  std::thread worker;
  std::atomic<bool> stop{false};
  std::vector<std::weak_ptr<Context>> contexts;
};

// Never destroyed: the worker may still wait on it while the process exits.
Handlers & handlers()
{
  static Handlers * h = new Handlers;
  return *h;
}

void chain(const struct sigaction & old, int signum, siginfo_t * info, void * context)
{
  if (old.sa_flags & SA_SIGINFO) {
    if (old.sa_sigaction != nullptr) {
      old.sa_sigaction(signum, info, context);
    }
  } else if (old.sa_handler != SIG_DFL && old.sa_handler != SIG_IGN && old.sa_handler != nullptr) {
    old.sa_handler(signum);
  }
}

void on_signal(int signum, siginfo_t * info, void * context)
{
  auto & h = handlers();
  chain(signum == SIGINT ? h.old_sigint : h.old_sigterm, signum, info, context);
  h.last_signal.store(signum);
  sem_post(&h.wakeup);
}

void deferred_handler()
{
  auto & h = handlers();
  while (true) {
    while (sem_wait(&h.wakeup) != 0) {}
    if (h.stop.load()) {
      return;
    }
    RCLCPP_INFO(rclcpp::get_logger("rclcpp"), "signal_handler(signum=%d)", h.last_signal.load());
    for (const auto & context : registered_contexts()) {
      if (context->get_init_options().shutdown_on_signal) {
        context->shutdown("signal handler");
      }
    }
  }
}

void install(int signum, struct sigaction & old)
{
  struct sigaction action {};
  action.sa_sigaction = on_signal;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(signum, &action, &old);
}

}  // namespace

void install_signal_handlers(SignalHandlerOptions options)
{
  auto & h = handlers();
  std::lock_guard<std::mutex> lock(h.mutex);
  if (h.installed || options == SignalHandlerOptions::None) {
    return;
  }
  if (!h.worker.joinable()) {
    sem_init(&h.wakeup, 0, 0);
    h.stop = false;
    h.worker = std::thread(deferred_handler);
  }
  h.has_sigint = options == SignalHandlerOptions::All || options == SignalHandlerOptions::SigInt;
  h.has_sigterm = options == SignalHandlerOptions::All || options == SignalHandlerOptions::SigTerm;
  if (h.has_sigint) {
    install(SIGINT, h.old_sigint);
  }
  if (h.has_sigterm) {
    install(SIGTERM, h.old_sigterm);
  }
  h.installed = true;
}

void uninstall_signal_handlers()
{
  auto & h = handlers();
  std::thread worker;
  {
    std::lock_guard<std::mutex> lock(h.mutex);
    if (!h.installed) {
      return;
    }
    if (h.has_sigint) {
      sigaction(SIGINT, &h.old_sigint, nullptr);
    }
    if (h.has_sigterm) {
      sigaction(SIGTERM, &h.old_sigterm, nullptr);
    }
    h.installed = false;
    // a shutdown from a callback the worker runs cannot wait for itself
    if (h.worker.get_id() != std::this_thread::get_id()) {
      worker = std::move(h.worker);
    }
  }
  // the worker takes the lock to list the contexts: joined outside it
  if (worker.joinable()) {
    h.stop = true;
    sem_post(&h.wakeup);
    worker.join();
    sem_destroy(&h.wakeup);
  }
}

void register_context(const std::shared_ptr<Context> & context)
{
  auto & h = handlers();
  std::lock_guard<std::mutex> lock(h.mutex);
  h.contexts.push_back(context);
}

std::vector<std::shared_ptr<Context>> registered_contexts()
{
  auto & h = handlers();
  std::lock_guard<std::mutex> lock(h.mutex);
  std::vector<std::shared_ptr<Context>> live;
  for (const auto & weak : h.contexts) {
    if (auto context = weak.lock()) {
      live.push_back(context);
    }
  }
  return live;
}

}  // namespace detail
}  // namespace rclcpp
