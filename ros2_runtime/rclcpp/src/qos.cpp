#include "rclcpp/qos.hpp"

namespace rclcpp
{
namespace
{

rmw_time_t to_rmw_time(const Duration & duration)
{
  const int64_t ns = duration.nanoseconds();
  return rmw_time_t{static_cast<uint64_t>(ns / 1000000000LL), static_cast<uint64_t>(ns % 1000000000LL)};
}

bool same_time(const rmw_time_t & a, const rmw_time_t & b)
{
  return a.sec == b.sec && a.nsec == b.nsec;
}

}  // namespace

QoS::QoS(const QoSInitialization & qos_initialization, const rmw_qos_profile_t & initial_profile)
: profile_(initial_profile)
{
  profile_.history = qos_initialization.history_policy;
  profile_.depth = qos_initialization.depth;
}

QoS::QoS(size_t history_depth)
: QoS(KeepLast(history_depth)) {}

QoS & QoS::history(rmw_qos_history_policy_t history) {profile_.history = history; return *this;}

QoS & QoS::history(HistoryPolicy history)
{
  return this->history(static_cast<rmw_qos_history_policy_t>(history));
}

QoS & QoS::keep_last(size_t depth)
{
  profile_.history = RMW_QOS_POLICY_HISTORY_KEEP_LAST;
  profile_.depth = depth;
  return *this;
}

QoS & QoS::keep_all()
{
  profile_.history = RMW_QOS_POLICY_HISTORY_KEEP_ALL;
  profile_.depth = 0;
  return *this;
}

QoS & QoS::reliability(rmw_qos_reliability_policy_t reliability)
{
  profile_.reliability = reliability;
  return *this;
}

QoS & QoS::reliability(ReliabilityPolicy reliability)
{
  return this->reliability(static_cast<rmw_qos_reliability_policy_t>(reliability));
}

QoS & QoS::reliable() {return reliability(RMW_QOS_POLICY_RELIABILITY_RELIABLE);}

QoS & QoS::best_effort() {return reliability(RMW_QOS_POLICY_RELIABILITY_BEST_EFFORT);}

QoS & QoS::durability(rmw_qos_durability_policy_t durability)
{
  profile_.durability = durability;
  return *this;
}

QoS & QoS::durability(DurabilityPolicy durability)
{
  return this->durability(static_cast<rmw_qos_durability_policy_t>(durability));
}

QoS & QoS::durability_volatile() {return durability(RMW_QOS_POLICY_DURABILITY_VOLATILE);}

QoS & QoS::transient_local() {return durability(RMW_QOS_POLICY_DURABILITY_TRANSIENT_LOCAL);}

QoS & QoS::deadline(const Duration & deadline)
{
  profile_.deadline = to_rmw_time(deadline);
  return *this;
}

QoS & QoS::lifespan(const Duration & lifespan)
{
  profile_.lifespan = to_rmw_time(lifespan);
  return *this;
}

QoS & QoS::liveliness(LivelinessPolicy liveliness)
{
  profile_.liveliness = static_cast<rmw_qos_liveliness_policy_t>(liveliness);
  return *this;
}

QoS & QoS::liveliness_lease_duration(const Duration & liveliness_lease_duration)
{
  profile_.liveliness_lease_duration = to_rmw_time(liveliness_lease_duration);
  return *this;
}

QoS & QoS::avoid_ros_namespace_conventions(bool avoid_ros_namespace_conventions)
{
  profile_.avoid_ros_namespace_conventions = avoid_ros_namespace_conventions;
  return *this;
}

bool operator==(const QoS & left, const QoS & right)
{
  const auto & l = left.get_rmw_qos_profile();
  const auto & r = right.get_rmw_qos_profile();
  return l.history == r.history && l.depth == r.depth && l.reliability == r.reliability &&
         l.durability == r.durability && same_time(l.deadline, r.deadline) &&
         same_time(l.lifespan, r.lifespan) && l.liveliness == r.liveliness &&
         same_time(l.liveliness_lease_duration, r.liveliness_lease_duration) &&
         l.avoid_ros_namespace_conventions == r.avoid_ros_namespace_conventions;
}

bool operator!=(const QoS & left, const QoS & right) {return !(left == right);}

}  // namespace rclcpp
