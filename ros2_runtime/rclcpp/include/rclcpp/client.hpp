// Clients: a request writer and a reply reader on the service's DDS
// topics. A request is answered when the node is spun: the executor takes
// the reply and completes the future (and runs the callback) of the request
// with the same sequence number.
#ifndef RCLCPP__CLIENT_HPP_
#define RCLCPP__CLIENT_HPP_

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "rclcpp/detail/executable.hpp"
#include "rclcpp/detail/node_handle.hpp"
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
namespace detail
{

// A future together with the sequence number of the request it answers.
template<typename FutureT>
struct FutureAndRequestId
{
  FutureT future;
  int64_t request_id;

  FutureAndRequestId(FutureT impl, int64_t req_id)
  : future(std::move(impl)), request_id(req_id) {}

  operator FutureT &() {return this->future;}

  [[deprecated("FutureAndRequestId: use .future instead of an implicit conversion")]]
  operator FutureT() {return this->future;}

  auto get() {return this->future.get();}
  bool valid() const noexcept {return this->future.valid();}
  void wait() const {return this->future.wait();}
  template<class Rep, class Period>
  std::future_status wait_for(const std::chrono::duration<Rep, Period> & timeout_duration) const
  {
    return this->future.wait_for(timeout_duration);
  }
  template<class Clock, class Duration>
  std::future_status wait_until(
    const std::chrono::time_point<Clock, Duration> & timeout_time) const
  {
    return this->future.wait_until(timeout_time);
  }

  FutureAndRequestId(FutureAndRequestId && other) noexcept = default;
  FutureAndRequestId(const FutureAndRequestId & other) = delete;
  FutureAndRequestId & operator=(FutureAndRequestId && other) noexcept = default;
  FutureAndRequestId & operator=(const FutureAndRequestId & other) = delete;
  ~FutureAndRequestId() = default;
};

}  // namespace detail

class ClientBase : public detail::Executable
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(ClientBase)

  ClientBase(
    std::shared_ptr<detail::NodeHandle> node, const std::string & service_name,
    const char * request_dds_type, const char * response_dds_type,
    const rmw_qos_profile_t & qos);
  virtual ~ClientBase();

  ClientBase(const ClientBase &) = delete;
  ClientBase & operator=(const ClientBase &) = delete;

  const char * get_service_name() const {return service_name_.c_str();}

  // A server reads the request topic and writes the reply topic, and both
  // of this client's endpoints are matched with it.
  bool service_is_ready() const;

  // False when the timeout (negative: none) passes or the context shuts down.
  template<typename RepT = int64_t, typename RatioT = std::milli>
  bool wait_for_service(
    std::chrono::duration<RepT, RatioT> timeout = std::chrono::duration<RepT, RatioT>(-1))
  {
    return wait_for_service_nanoseconds(
      std::chrono::duration_cast<std::chrono::nanoseconds>(timeout));
  }

  bool has_data() const override;

protected:
  bool wait_for_service_nanoseconds(std::chrono::nanoseconds timeout);
  // Returns the request's sequence number.
  int64_t send_request_message(const rmw_fastdds::MessageOps & ops, const void * msg);
  // One waiting reply addressed to this client: its bytes and the sequence
  // number of the request it answers. False when none waits; replies to
  // other clients are taken and dropped.
  bool take_payload(std::vector<uint8_t> & payload, int64_t & sequence_id);
  void log_malformed(size_t payload_size) const;

private:
  std::shared_ptr<detail::NodeHandle> node_;
  std::string service_name_;
  std::shared_ptr<rmw_fastdds::Writer> request_writer_;
  std::shared_ptr<rmw_fastdds::Reader> response_reader_;
};

template<typename ServiceT>
class Client : public ClientBase
{
public:
  RCLCPP_SMART_PTR_DEFINITIONS(Client)

  using Request = typename ServiceT::Request;
  using Response = typename ServiceT::Response;
  using SharedRequest = std::shared_ptr<Request>;
  using SharedResponse = std::shared_ptr<Response>;
  using Promise = std::promise<SharedResponse>;
  using SharedPromise = std::shared_ptr<Promise>;
  using Future = std::future<SharedResponse>;
  using SharedFuture = std::shared_future<SharedResponse>;
  using CallbackType = std::function<void (SharedFuture)>;

  struct FutureAndRequestId : detail::FutureAndRequestId<Future>
  {
    using detail::FutureAndRequestId<Future>::FutureAndRequestId;

    [[deprecated("use the future member variable instead")]]
    SharedFuture share() noexcept {return this->future.share();}
  };

  struct SharedFutureAndRequestId : detail::FutureAndRequestId<SharedFuture>
  {
    using detail::FutureAndRequestId<SharedFuture>::FutureAndRequestId;
  };

  Client(
    std::shared_ptr<detail::NodeHandle> node, const std::string & service_name,
    const rmw_qos_profile_t & qos)
  : ClientBase(
      std::move(node), service_name, rosidl_runtime_cpp::TypeSupport<Request>::dds_type_name,
      rosidl_runtime_cpp::TypeSupport<Response>::dds_type_name, qos) {}

  FutureAndRequestId async_send_request(SharedRequest request)
  {
    Promise promise;
    auto future = promise.get_future();
    const int64_t id = send(std::move(request), Pending{std::move(promise), nullptr});
    return FutureAndRequestId(std::move(future), id);
  }

  template<
    typename CallbackT,
    typename std::enable_if_t<std::is_invocable_v<CallbackT &, SharedFuture>, int> = 0>
  SharedFutureAndRequestId async_send_request(SharedRequest request, CallbackT && cb)
  {
    Promise promise;
    SharedFuture future = promise.get_future().share();
    const int64_t id = send(
      std::move(request),
      Pending{std::move(promise), [future, cb = CallbackType(std::forward<CallbackT>(cb))]() {
          cb(future);
        }});
    return SharedFutureAndRequestId(std::move(future), id);
  }

  // Forgets a request: its future never completes. False when not pending.
  bool remove_pending_request(int64_t request_id)
  {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    return pending_.erase(request_id) > 0;
  }

  size_t prune_pending_requests()
  {
    std::lock_guard<std::mutex> lock(pending_mutex_);
    const size_t n = pending_.size();
    pending_.clear();
    return n;
  }

  // Takes one reply and completes its request; false when none waited.
  bool execute_one() override
  {
    int64_t sequence_id = 0;
    if (!take_payload(payload_, sequence_id)) {
      return false;
    }
    auto response = std::make_shared<Response>();
    if (!rosidl_runtime_cpp::TypeSupport<Response>::deserialize(
        payload_.data(), payload_.size(), *response))
    {
      log_malformed(payload_.size());
      return true;
    }
    std::optional<Pending> pending;
    {
      std::lock_guard<std::mutex> lock(pending_mutex_);
      auto it = pending_.find(sequence_id);
      if (it == pending_.end()) {
        return true;  // a request forgotten, or answered twice
      }
      pending.emplace(std::move(it->second));
      pending_.erase(it);
    }
    pending->promise.set_value(std::move(response));
    if (pending->on_done) {
      pending->on_done();
    }
    return true;
  }

private:
  struct Pending
  {
    Promise promise;
    std::function<void()> on_done;
  };

  int64_t send(SharedRequest request, Pending pending)
  {
    // Held across the write, so a reply taken at once finds its request.
    std::lock_guard<std::mutex> lock(pending_mutex_);
    const int64_t id = send_request_message(rmw_fastdds::message_ops<Request>(), request.get());
    pending_.emplace(id, std::move(pending));
    return id;
  }

  std::mutex pending_mutex_;
  std::map<int64_t, Pending> pending_;
  std::vector<uint8_t> payload_;
};

}  // namespace rclcpp

#endif  // RCLCPP__CLIENT_HPP_
