// A subscription callback of any of the forms rclcpp accepts (taking the
// message as unique_ptr, shared_ptr, shared_ptr to const, or const
// reference; functions, lambdas, std::bind), called with a freshly decoded
// message that it may keep.
#ifndef RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_
#define RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace rclcpp
{

template<typename MessageT>
class AnySubscriptionCallback
{
public:
  template<typename CallbackT>
  explicit AnySubscriptionCallback(CallbackT && callback)
  {
    using F = std::decay_t<CallbackT>;
    if constexpr (std::is_invocable_v<F &, std::unique_ptr<MessageT>>) {
      // unique_ptr converts to shared_ptr<T> and shared_ptr<const T> alike.
      callback_ = [f = F(std::forward<CallbackT>(callback))](
        std::unique_ptr<MessageT> msg) mutable {f(std::move(msg));};
    } else if constexpr (std::is_invocable_v<F &, const MessageT &>) {
      callback_ = [f = F(std::forward<CallbackT>(callback))](
        std::unique_ptr<MessageT> msg) mutable {f(*msg);};
    } else {
      static_assert(
        std::is_invocable_v<F &, const MessageT &>,
        "subscription callback must take the message as unique_ptr, shared_ptr or const &");
    }
  }

  void dispatch(std::unique_ptr<MessageT> msg) {callback_(std::move(msg));}

private:
  std::function<void(std::unique_ptr<MessageT>)> callback_;
};

}  // namespace rclcpp

#endif  // RCLCPP__ANY_SUBSCRIPTION_CALLBACK_HPP_
