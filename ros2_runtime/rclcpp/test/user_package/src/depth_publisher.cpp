#include <chrono>
#include <memory>

#include "rclcpp/rclcpp.hpp"
#include "sensor_msgs/msg/image.hpp"

using namespace std::chrono_literals;

class DepthPublisher : public rclcpp::Node
{
public:
  DepthPublisher()
  : Node("depth_publisher")
  {
    frames_ = declare_parameter<int>("frames", 20);
    publisher_ = create_publisher<sensor_msgs::msg::Image>("camera/depth/image_raw", 10);
    timer_ = create_wall_timer(33ms, std::bind(&DepthPublisher::tick, this));
  }

private:
  void tick()
  {
    // Start once someone listens, then publish every frame.
    if (sent_ == 0 && publisher_->get_subscription_count() == 0) {
      return;
    }
    auto image = std::make_unique<sensor_msgs::msg::Image>();
    image->header.stamp = now();
    image->header.frame_id = "camera_depth_optical_frame";
    image->height = 720;
    image->width = 1280;
    image->encoding = "16UC1";
    image->step = image->width * 2;
    image->data.assign(image->step * image->height, static_cast<uint8_t>(sent_));
    publisher_->publish(std::move(image));
    if (++sent_ == frames_) {
      RCLCPP_INFO(get_logger(), "published %ld frames", frames_);
      rclcpp::shutdown();
    }
  }

  int64_t frames_;
  int64_t sent_ = 0;
  rclcpp::Publisher<sensor_msgs::msg::Image>::SharedPtr publisher_;
  rclcpp::TimerBase::SharedPtr timer_;
};

int main(int argc, char ** argv)
{
  rclcpp::init(argc, argv);
  rclcpp::spin(std::make_shared<DepthPublisher>());
  rclcpp::shutdown();
  return 0;
}
