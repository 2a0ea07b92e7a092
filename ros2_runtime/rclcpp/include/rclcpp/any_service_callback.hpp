// A service callback of either form rclcpp accepts: (request, response) or
// (request header, request, response), each a shared_ptr; functions,
// lambdas and std::bind alike. Whatever the callback returns is ignored.
#ifndef RCLCPP__ANY_SERVICE_CALLBACK_HPP_
#define RCLCPP__ANY_SERVICE_CALLBACK_HPP_

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "rmw/types.h"

namespace rclcpp
{

template<typename ServiceT>
class AnyServiceCallback
{
public:
  using Request = typename ServiceT::Request;
  using Response = typename ServiceT::Response;

  template<typename CallbackT>
  explicit AnyServiceCallback(CallbackT && callback)
  {
    using F = std::decay_t<CallbackT>;
    if constexpr (std::is_invocable_v<F &, std::shared_ptr<Request>, std::shared_ptr<Response>>) {
      callback_ = [f = F(std::forward<CallbackT>(callback))](
        const std::shared_ptr<rmw_request_id_t> &, std::shared_ptr<Request> request,
        std::shared_ptr<Response> response) mutable {f(std::move(request), std::move(response));};
    } else if constexpr (std::is_invocable_v<
        F &, std::shared_ptr<rmw_request_id_t>, std::shared_ptr<Request>,
        std::shared_ptr<Response>>)
    {
      callback_ = [f = F(std::forward<CallbackT>(callback))](
        const std::shared_ptr<rmw_request_id_t> & header, std::shared_ptr<Request> request,
        std::shared_ptr<Response> response) mutable {
          f(header, std::move(request), std::move(response));
        };
    } else {
      static_assert(
        std::is_invocable_v<F &, std::shared_ptr<Request>, std::shared_ptr<Response>>,
        "service callback must take (request, response) or (request_header, request, response)");
    }
  }

  void dispatch(
    const std::shared_ptr<rmw_request_id_t> & request_header, std::shared_ptr<Request> request,
    std::shared_ptr<Response> response)
  {
    callback_(request_header, std::move(request), std::move(response));
  }

private:
  std::function<void(
      const std::shared_ptr<rmw_request_id_t> &, std::shared_ptr<Request>,
      std::shared_ptr<Response>)> callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__ANY_SERVICE_CALLBACK_HPP_
