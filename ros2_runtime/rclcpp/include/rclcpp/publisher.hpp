// Publishers: one DDS writer each, announced in the ROS graph under their
// node.
#ifndef RCLCPP__PUBLISHER_HPP_
#define RCLCPP__PUBLISHER_HPP_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/detail/node_handle.hpp"
#include "rclcpp/macros.hpp"
#include "rclcpp/qos.hpp"
#include "rmw_fastdds/message_ops.hpp"

namespace rmw_fastdds
{
class Writer;
}

namespace rclcpp
{

class PublisherBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(PublisherBase)

  PublisherBase(
    std::shared_ptr<detail::NodeHandle> node, const std::string & topic_name,
    const char * dds_type_name, const QoS & qos);
  virtual ~PublisherBase();

  PublisherBase(const PublisherBase &) = delete;
  PublisherBase & operator=(const PublisherBase &) = delete;

  const char * get_topic_name() const {return topic_name_.c_str();}
  size_t get_subscription_count() const;
  QoS get_actual_qos() const {return qos_;}

protected:
  // Publishing on a shut-down context is silently dropped, as rclcpp does.
  void publish_message(const rmw_fastdds::MessageOps & ops, const void * msg);

private:
  std::shared_ptr<detail::NodeHandle> node_;
  std::string topic_name_;
  QoS qos_;
  std::shared_ptr<rmw_fastdds::Writer> writer_;
};

template<typename MessageT, typename AllocatorT = std::allocator<void>>
class Publisher : public PublisherBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Publisher<MessageT, AllocatorT>)

  Publisher(
    std::shared_ptr<detail::NodeHandle> node, const std::string & topic_name, const QoS & qos)
  : PublisherBase(
      std::move(node), topic_name, rmw_fastdds::message_ops<MessageT>().dds_type_name, qos) {}

  void publish(const MessageT & msg)
  {
    publish_message(rmw_fastdds::message_ops<MessageT>(), &msg);
  }

  void publish(std::unique_ptr<MessageT> msg)
  {
    publish(*msg);
  }
};

}  // namespace rclcpp

#endif  // RCLCPP__PUBLISHER_HPP_
