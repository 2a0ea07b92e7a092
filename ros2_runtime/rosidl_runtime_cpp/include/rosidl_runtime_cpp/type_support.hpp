#ifndef ROSIDL_RUNTIME_CPP__TYPE_SUPPORT_HPP_
#define ROSIDL_RUNTIME_CPP__TYPE_SUPPORT_HPP_

#include <cstddef>
#include <cstdint>

namespace rosidl_runtime_cpp
{

// What the middleware needs of a message type, specialised by the generated
// header of every message struct (service Request and Response included):
//   static constexpr const char * type_name;      // "sensor_msgs/msg/Image"
//   static constexpr const char * dds_type_name;  // "sensor_msgs::msg::dds_::Image_"
//   static size_t serialized_size(const T & msg);  // whole payload, encapsulation header included
//   static void serialize(const T & msg, uint8_t * out);  // writes exactly serialized_size(msg) bytes
//   static bool deserialize(const uint8_t * in, size_t size, T & msg);  // false on malformed input
template<typename T>
struct TypeSupport;

// Specialised for every service type (pkg::srv::Name):
//   using Request = typename Srv::Request;
//   using Response = typename Srv::Response;
//   static constexpr const char * type_name;      // "brisvane_protocol/srv/ArmLocation"
template<typename Srv>
struct ServiceTypeSupport;

}  // namespace rosidl_runtime_cpp

#endif  // ROSIDL_RUNTIME_CPP__TYPE_SUPPORT_HPP_
