#include "rclcpp/detail/node_handle.hpp"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/detail/names.hpp"
#include "rclcpp/timer.hpp"
#include "rmw_fastdds/graph.hpp"
#include "rmw_fastdds/participant.hpp"

namespace rclcpp
{
namespace detail
{
namespace
{

template<typename T>
std::vector<std::shared_ptr<T>> lock_all(std::vector<std::weak_ptr<T>> & entities)
{
  std::vector<std::shared_ptr<T>> live;
  for (const auto & weak : entities) {
    if (auto entity = weak.lock()) {
      live.push_back(entity);
    }
  }
  entities.erase(
    std::remove_if(
      entities.begin(), entities.end(), [](const auto & weak) {return weak.expired();}),
    entities.end());
  return live;
}

}  // namespace

NodeHandle::NodeHandle(
  Context::SharedPtr context, const std::string & name, const std::string & node_namespace,
  Arguments local_arguments, bool use_global_arguments)
: context_(std::move(context)),
  participant_(context_->participant()),
  local_arguments_(std::move(local_arguments)),
  use_global_arguments_(use_global_arguments)
{
  name_ = remap_node_name(name, &local_arguments_, global_arguments());
  validate_node_name(name_);
  namespace_ = absolute_namespace(
    remap_namespace(name, node_namespace, &local_arguments_, global_arguments()));
  validate_namespace(namespace_);
  graph_id_ = participant_->graph().add_node(namespace_, name_);
}

NodeHandle::~NodeHandle()
{
  participant_->graph().remove_node(graph_id_);
}

std::string NodeHandle::fully_qualified_name() const
{
  return fully_qualified_node_name(namespace_, name_);
}

const Arguments * NodeHandle::global_arguments() const
{
  return use_global_arguments_ ? &context_->global_arguments() : nullptr;
}

std::string NodeHandle::resolve_topic_name(const std::string & topic) const
{
  return resolve_name(topic, name_, namespace_, false, &local_arguments_, global_arguments());
}

std::string NodeHandle::resolve_service_name(const std::string & service) const
{
  return resolve_name(service, name_, namespace_, true, &local_arguments_, global_arguments());
}

void NodeHandle::add_executable(const std::shared_ptr<Executable> & executable)
{
  {
    std::lock_guard<std::mutex> lock(entities_mutex_);
    executables_.push_back(executable);
  }
  context_->work_signal().notify();
}

void NodeHandle::add_timer(const std::shared_ptr<TimerBase> & timer)
{
  {
    std::lock_guard<std::mutex> lock(entities_mutex_);
    timers_.push_back(timer);
  }
  context_->work_signal().notify();
}

std::vector<std::shared_ptr<Executable>> NodeHandle::executables() const
{
  std::lock_guard<std::mutex> lock(entities_mutex_);
  return lock_all(executables_);
}

std::vector<std::shared_ptr<TimerBase>> NodeHandle::timers() const
{
  std::lock_guard<std::mutex> lock(entities_mutex_);
  return lock_all(timers_);
}

}  // namespace detail
}  // namespace rclcpp
