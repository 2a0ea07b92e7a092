#include <functional>
#include <iostream>
#include <memory>

#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/image.hpp"

class DepthListener : public rclcpp::Node
{
public:
  DepthListener()
  : Node("depth_listener")
  {
    wanted_ = declare_parameter("frames", 5);
    subscription_ = create_subscription<sensor_msgs::msg::Image>(
      "camera/depth/image_raw", rclcpp::QoS(1),
      std::bind(&DepthListener::on_image, this, std::placeholders::_1));
  }

private:
  void on_image(const sensor_msgs::msg::Image::ConstSharedPtr & image)
  {
    std::cout << "got " << image->width << "x" << image->height << " " << image->encoding <<
      " frame " << image->header.frame_id << " (" << image->data.size() << " bytes)" << std::endl;
    if (++received_ == wanted_) {
      RCLCPP_INFO(get_logger(), "received %d images", received_);
      rclcpp::shutdown();
    }
  }

  int received_ = 0;
  int64_t wanted_;
  rclcpp::Subscription<sensor_msgs::msg::Image>::SharedPtr subscription_;
};

int main(int argc, char ** argv)
{
  rclcpp::init(argc, argv);
  rclcpp::spin(std::make_shared<DepthListener>());
  rclcpp::shutdown();
  return 0;
}
