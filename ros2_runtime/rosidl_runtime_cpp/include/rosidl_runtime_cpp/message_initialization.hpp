#ifndef ROSIDL_RUNTIME_CPP__MESSAGE_INITIALIZATION_HPP_
#define ROSIDL_RUNTIME_CPP__MESSAGE_INITIALIZATION_HPP_

namespace rosidl_runtime_cpp
{

// How a generated constructor fills the fields: defaults from the definition
// and zeros elsewhere (ALL), zeros only (ZERO), defaults only (DEFAULTS_ONLY),
// or nothing (SKIP).
enum class MessageInitialization
{
  ALL,
  SKIP,
  ZERO,
  DEFAULTS_ONLY,
};

}  // namespace rosidl_runtime_cpp

#endif  // ROSIDL_RUNTIME_CPP__MESSAGE_INITIALIZATION_HPP_
