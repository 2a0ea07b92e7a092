// What a node's publishers, subscriptions and timers share and keep alive:
// the context, the node's names and place in the ROS graph, and the lists
// an executor walks (the node's one, mutually exclusive, callback group).
#ifndef RCLCPP__DETAIL__NODE_HANDLE_HPP_
#define RCLCPP__DETAIL__NODE_HANDLE_HPP_

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rclcpp/context.hpp"
#include "rclcpp/detail/executable.hpp"
#include "rclcpp/detail/arguments.hpp"
#include "rclcpp/logger.hpp"

namespace rclcpp
{

class TimerBase;

namespace detail
{

class NodeHandle
{
public:
  NodeHandle(
    Context::SharedPtr context, const std::string & name, const std::string & node_namespace,
    Arguments local_arguments, bool use_global_arguments);
  ~NodeHandle();

  NodeHandle(const NodeHandle &) = delete;
  NodeHandle & operator=(const NodeHandle &) = delete;

  const Context::SharedPtr & context() const {return context_;}
  rmw_fastdds::Participant & participant() const {return *participant_;}
  const std::string & name() const {return name_;}
  const std::string & node_namespace() const {return namespace_;}
  std::string fully_qualified_name() const;
  const Arguments & local_arguments() const {return local_arguments_;}
  const Arguments * global_arguments() const;
  size_t graph_id() const {return graph_id_;}

  // Names as the wire sees them; throw rclcpp's name exceptions.
  std::string resolve_topic_name(const std::string & topic) const;
  std::string resolve_service_name(const std::string & service) const;

  void add_executable(const std::shared_ptr<Executable> & executable);
  void add_timer(const std::shared_ptr<TimerBase> & timer);
  std::vector<std::shared_ptr<Executable>> executables() const;
  std::vector<std::shared_ptr<TimerBase>> timers() const;

  std::atomic<bool> & associated_with_executor() {return associated_with_executor_;}

private:
  Context::SharedPtr context_;
  std::shared_ptr<rmw_fastdds::Participant> participant_;
  Arguments local_arguments_;
  bool use_global_arguments_;
  std::string name_;
  std::string namespace_;
  size_t graph_id_;
  mutable std::mutex entities_mutex_;
  mutable std::vector<std::weak_ptr<Executable>> executables_;
  mutable std::vector<std::weak_ptr<TimerBase>> timers_;
  std::atomic<bool> associated_with_executor_{false};
};

}  // namespace detail
}  // namespace rclcpp

#endif  // RCLCPP__DETAIL__NODE_HANDLE_HPP_
