"""arm_location_node with its parameters from config/arm_location.yaml.

Each parameter of the file is also a launch argument of the same name,
whose default is the file's value:

    ros2 launch arm_location arm_location.launch.py pcd:=/data/maps/ debug:=1
"""

import os

import yaml
from ament_index_python.packages import get_package_share_directory
from launch import LaunchDescription
from launch.actions import DeclareLaunchArgument
from launch.substitutions import LaunchConfiguration
from launch_ros.actions import Node
from launch_ros.parameter_descriptions import ParameterValue

NODE_NAME = 'brisvane_arm_gicp_location'


def generate_launch_description():
    config = os.path.join(
        get_package_share_directory('arm_location'), 'config', 'arm_location.yaml')
    with open(config) as f:
        defaults = yaml.safe_load(f)[NODE_NAME]['ros__parameters']

    arguments = [
        DeclareLaunchArgument(name, default_value=str(value)) for name, value in defaults.items()]
    # Typed as in the file: the node refuses a parameter of the wrong type,
    # and a directory named "2024" must stay a string.
    overrides = {
        name: ParameterValue(LaunchConfiguration(name), value_type=type(value))
        for name, value in defaults.items()}
    node = Node(
        package='arm_location',
        executable='arm_location_node',
        name=NODE_NAME,
        output='screen',
        parameters=[overrides])
    return LaunchDescription(arguments + [node])
