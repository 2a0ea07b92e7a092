// rclcpp's smart pointer aliases for a class (SharedPtr, ConstSharedPtr,
// WeakPtr, UniquePtr, make_shared).
#ifndef RCLCPP__MACROS_HPP_
#define RCLCPP__MACROS_HPP_

#include <memory>
#include <utility>

#define RCLCPP_SMART_PTR_DEFINITIONS(...) \
  using SharedPtr = std::shared_ptr<__VA_ARGS__>; \
  using ConstSharedPtr = std::shared_ptr<const __VA_ARGS__>; \
  using WeakPtr = std::weak_ptr<__VA_ARGS__>; \
  using ConstWeakPtr = std::weak_ptr<const __VA_ARGS__>; \
  using UniquePtr = std::unique_ptr<__VA_ARGS__>; \
  template<typename ... Args> \
  static std::shared_ptr<__VA_ARGS__> make_shared(Args && ... args) \
  { \
    return std::make_shared<__VA_ARGS__>(std::forward<Args>(args) ...); \
  }

#define RCLCPP_DISABLE_COPY(...) \
  __VA_ARGS__(const __VA_ARGS__ &) = delete; \
  __VA_ARGS__ & operator=(const __VA_ARGS__ &) = delete;

#endif  // RCLCPP__MACROS_HPP_
