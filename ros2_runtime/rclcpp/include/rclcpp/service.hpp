// Services: a request reader and a reply writer on the DDS topics
// rmw_fastrtps names after the service. Requests wait in the reader's
// history (the QoS depth) until the executor takes one, runs the callback
// on the spinning thread and writes the reply.
#ifndef RCLCPP__SERVICE_HPP_
#define RCLCPP__SERVICE_HPP_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rclcpp/any_service_callback.hpp"
#include "rclcpp/detail/executable.hpp"
#include "rclcpp/detail/node_handle.hpp"
#include "rclcpp/logger.hpp"
#include "rclcpp/macros.hpp"
#include "rmw/types.h"
#include "rmw_fastdds/message_ops.hpp"
#include "rosidl_runtime_cpp/type_support.hpp"

namespace rmw_fastdds
{
class Reader;
class Writer;
}

namespace rclcpp
{

class ServiceBase : public detail::Executable
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(ServiceBase)

  ServiceBase(
    std::shared_ptr<detail::NodeHandle> node, const std::string & service_name,
    const char * request_dds_type, const char * response_dds_type,
    const rmw_qos_profile_t & qos, Logger node_logger);
  virtual ~ServiceBase();

  ServiceBase(const ServiceBase &) = delete;
  ServiceBase & operator=(const ServiceBase &) = delete;

  const char * get_service_name() const {return service_name_.c_str();}

  bool has_data() const override;

protected:
  // One waiting request's wire bytes and identity; false when none waits.
  bool take_payload(std::vector<uint8_t> & payload, rmw_request_id_t & request_id);
  void send_response_message(
    const rmw_request_id_t & request_id, const rmw_fastdds::MessageOps & ops, const void * msg);
  void log_malformed(size_t payload_size) const;

private:
  std::shared_ptr<detail::NodeHandle> node_;
  std::string service_name_;
  Logger node_logger_;
  std::shared_ptr<rmw_fastdds::Reader> request_reader_;
  std::shared_ptr<rmw_fastdds::Writer> response_writer_;
};

template<typename ServiceT>
class Service : public ServiceBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Service)

  using Request = typename ServiceT::Request;
  using Response = typename ServiceT::Response;
  using CallbackType =
    std::function<void(const std::shared_ptr<Request>, std::shared_ptr<Response>)>;
  using CallbackWithHeaderType = std::function<void(
        const std::shared_ptr<rmw_request_id_t>, const std::shared_ptr<Request>,
        std::shared_ptr<Response>)>;

  Service(
    std::shared_ptr<detail::NodeHandle> node, const std::string & service_name,
    AnyServiceCallback<ServiceT> callback, const rmw_qos_profile_t & qos, Logger node_logger)
  : ServiceBase(
      std::move(node), service_name, rosidl_runtime_cpp::TypeSupport<Request>::dds_type_name,
      rosidl_runtime_cpp::TypeSupport<Response>::dds_type_name, qos, std::move(node_logger)),
    callback_(std::move(callback)) {}

  // False when no request waited (or the one waiting did not decode).
  bool take_request(Request & request_out, rmw_request_id_t & request_id_out)
  {
    if (!take_payload(payload_, request_id_out)) {
      return false;
    }
    if (!rosidl_runtime_cpp::TypeSupport<Request>::deserialize(
        payload_.data(), payload_.size(), request_out))
    {
      log_malformed(payload_.size());
      return false;
    }
    return true;
  }

  void send_response(rmw_request_id_t & req_id, Response & response)
  {
    send_response_message(req_id, rmw_fastdds::message_ops<Response>(), &response);
  }

  // Takes one request, runs the callback and answers; false when none waited.
  bool execute_one() override
  {
    auto header = std::make_shared<rmw_request_id_t>();
    auto request = std::make_shared<Request>();
    if (!take_request(*request, *header)) {
      return false;
    }
    auto response = std::make_shared<Response>();
    callback_.dispatch(header, std::move(request), response);
    send_response(*header, *response);
    return true;
  }

private:
  AnyServiceCallback<ServiceT> callback_;
  std::vector<uint8_t> payload_;
};

}  // namespace rclcpp

#endif  // RCLCPP__SERVICE_HPP_
