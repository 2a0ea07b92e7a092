// rclcpp's QoS: an rmw_qos_profile_t with fluent setters, and the
// predefined profiles of Humble.
#ifndef RCLCPP__QOS_HPP_
#define RCLCPP__QOS_HPP_

#include <cstddef>

#include "rclcpp/duration.hpp"
#include "rmw/qos_profiles.h"
#include "rmw/types.h"

namespace rclcpp
{

enum class HistoryPolicy
{
  KeepLast = RMW_QOS_POLICY_HISTORY_KEEP_LAST,
  KeepAll = RMW_QOS_POLICY_HISTORY_KEEP_ALL,
  SystemDefault = RMW_QOS_POLICY_HISTORY_SYSTEM_DEFAULT,
  Unknown = RMW_QOS_POLICY_HISTORY_UNKNOWN,
};

enum class ReliabilityPolicy
{
  BestEffort = RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT,
  Reliable = RMW_QOS_POLICY_RELIABILITY_RELIABLE,
  SystemDefault = RMW_QOS_POLICY_RELIABILITY_SYSTEM_DEFAULT,
  Unknown = RMW_QOS_POLICY_RELIABILITY_UNKNOWN,
};

enum class DurabilityPolicy
{
  Volatile = RMW_QOS_POLICY_DURABILITY_VOLATILE,
  TransientLocal = RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL,
  SystemDefault = RMW_QOS_POLICY_DURABILITY_SYSTEM_DEFAULT,
  Unknown = RMW_QOS_POLICY_DURABILITY_UNKNOWN,
};

enum class LivelinessPolicy
{
  Automatic = RMW_QOS_POLICY_LIVELINESS_AUTOMATIC,
  ManualByTopic = RMW_QOS_POLICY_LIVELINESS_MANUAL_BY_TOPIC,
  SystemDefault = RMW_QOS_POLICY_LIVELINESS_SYSTEM_DEFAULT,
  Unknown = RMW_QOS_POLICY_LIVELINESS_UNKNOWN,
};

struct QoSInitialization
{
  rmw_qos_history_policy_t history_policy;
  size_t depth;

  QoSInitialization(rmw_qos_history_policy_t history_policy_arg, size_t depth_arg)
  : history_policy(history_policy_arg), depth(depth_arg) {}

  static QoSInitialization from_rmw(const rmw_qos_profile_t & rmw_qos)
  {
    return QoSInitialization(rmw_qos.history, rmw_qos.depth);
  }
};

struct KeepAll : public QoSInitialization
{
  KeepAll()
  : QoSInitialization(RMW_QOS_POLICY_HISTORY_KEEP_ALL, 0) {}
};

struct KeepLast : public QoSInitialization
{
  explicit KeepLast(size_t depth)
  : QoSInitialization(RMW_QOS_POLICY_HISTORY_KEEP_LAST, depth) {}
};

class QoS
{
public:
  explicit QoS(
    const QoSInitialization & qos_initialization,
    const rmw_qos_profile_t & initial_profile = rmw_qos_profile_default);
  // A depth alone means keep last that many, with the default profile.
  QoS(size_t history_depth);  // NOLINT(runtime/explicit)

  rmw_qos_profile_t & get_rmw_qos_profile() {return profile_;}
  const rmw_qos_profile_t & get_rmw_qos_profile() const {return profile_;}

  QoS & history(rmw_qos_history_policy_t history);
  QoS & history(HistoryPolicy history);
  QoS & keep_last(size_t depth);
  QoS & keep_all();
  QoS & reliability(rmw_qos_reliability_policy_t reliability);
  QoS & reliability(ReliabilityPolicy reliability);
  QoS & reliable();
  QoS & best_effort();
  QoS & durability(rmw_qos_durability_policy_t durability);
  QoS & durability(DurabilityPolicy durability);
  QoS & durability_volatile();
  QoS & transient_local();
  QoS & deadline(const rclcpp::Duration & deadline);
  QoS & lifespan(const rclcpp::Duration & lifespan);
  QoS & liveliness(LivelinessPolicy liveliness);
  QoS & liveliness_lease_duration(const rclcpp::Duration & liveliness_lease_duration);
  QoS & avoid_ros_namespace_conventions(bool avoid_ros_namespace_conventions);

  HistoryPolicy history() const {return static_cast<HistoryPolicy>(profile_.history);}
  size_t depth() const {return profile_.depth;}
  ReliabilityPolicy reliability() const
  {
    return static_cast<ReliabilityPolicy>(profile_.reliability);
  }
  DurabilityPolicy durability() const {return static_cast<DurabilityPolicy>(profile_.durability);}
  LivelinessPolicy liveliness() const {return static_cast<LivelinessPolicy>(profile_.liveliness);}
  bool avoid_ros_namespace_conventions() const {return profile_.avoid_ros_namespace_conventions;}

private:
  rmw_qos_profile_t profile_;
};

bool operator==(const QoS & left, const QoS & right);
bool operator!=(const QoS & left, const QoS & right);

class SensorDataQoS : public QoS
{
public:
  explicit SensorDataQoS(
    const QoSInitialization & qos_initialization =
    QoSInitialization::from_rmw(rmw_qos_profile_sensor_data))
  : QoS(qos_initialization, rmw_qos_profile_sensor_data) {}
};

class ParametersQoS : public QoS
{
public:
  explicit ParametersQoS(
    const QoSInitialization & qos_initialization =
    QoSInitialization::from_rmw(rmw_qos_profile_parameters))
  : QoS(qos_initialization, rmw_qos_profile_parameters) {}
};

class ServicesQoS : public QoS
{
public:
  explicit ServicesQoS(
    const QoSInitialization & qos_initialization =
    QoSInitialization::from_rmw(rmw_qos_profile_services_default))
  : QoS(qos_initialization, rmw_qos_profile_services_default) {}
};

class ParameterEventsQoS : public QoS
{
public:
  explicit ParameterEventsQoS(
    const QoSInitialization & qos_initialization =
    QoSInitialization::from_rmw(rmw_qos_profile_parameter_events))
  : QoS(qos_initialization, rmw_qos_profile_parameter_events) {}
};

class SystemDefaultsQoS : public QoS
{
public:
  explicit SystemDefaultsQoS(
    const QoSInitialization & qos_initialization =
    QoSInitialization::from_rmw(rmw_qos_profile_system_default))
  : QoS(qos_initialization, rmw_qos_profile_system_default) {}
};

}  // namespace rclcpp

#endif  // RCLCPP__QOS_HPP_
