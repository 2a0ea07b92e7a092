"""launch/arm_location.launch.py as ros2 launch would run it, on a machine
without ROS 2: launch, launch_ros and ament_index_python are replaced by
stand-ins that record what the file asks of them.

    test_launch_file.py <package source directory>
"""

import importlib.util
import pathlib
import sys
import types
import unittest

import yaml

PACKAGE = pathlib.Path(sys.argv.pop(1)).resolve()


class Recorded:
    def __init__(self, *args, **kwargs):
        self.args = args
        self.kwargs = kwargs


def install_stand_ins():
    modules = {
        'launch': {'LaunchDescription': Recorded},
        'launch.actions': {'DeclareLaunchArgument': Recorded},
        'launch.substitutions': {'LaunchConfiguration': Recorded},
        'launch_ros': {},
        'launch_ros.actions': {'Node': Recorded},
        'launch_ros.parameter_descriptions': {'ParameterValue': Recorded},
        'ament_index_python': {},
        'ament_index_python.packages': {
            # The installed share directory holds config/ as the source does.
            'get_package_share_directory': lambda name: str(PACKAGE)},
    }
    for name, members in modules.items():
        module = types.ModuleType(name)
        module.__dict__.update(members)
        sys.modules[name] = module


def launch_description():
    install_stand_ins()
    found = importlib.util.spec_from_file_location(
        'arm_location_launch', PACKAGE / 'launch' / 'arm_location.launch.py')
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module.generate_launch_description()


class LaunchFile(unittest.TestCase):

    def setUp(self):
        config = yaml.safe_load((PACKAGE / 'config' / 'arm_location.yaml').read_text())
        self.parameters = config['brisvane_arm_gicp_location']['ros__parameters']
        actions = launch_description().args[0]
        self.arguments = actions[:-1]
        self.node = actions[-1]

    def test_every_parameter_is_an_argument_defaulting_to_the_files_value(self):
        self.assertEqual(
            {a.args[0]: a.kwargs['default_value'] for a in self.arguments},
            {name: str(value) for name, value in self.parameters.items()})

    def test_starts_the_node_under_its_own_name_with_the_arguments_typed_as_the_file(self):
        self.assertEqual(self.node.kwargs['package'], 'arm_location')
        self.assertEqual(self.node.kwargs['executable'], 'arm_location_node')
        self.assertEqual(self.node.kwargs['name'], 'brisvane_arm_gicp_location')
        (overrides,) = self.node.kwargs['parameters']
        self.assertEqual(set(overrides), set(self.parameters))
        for name, value in overrides.items():
            self.assertEqual(value.args[0].args[0], name)
            self.assertIs(value.kwargs['value_type'], type(self.parameters[name]))
        self.assertIs(overrides['pcd'].kwargs['value_type'], str)
        self.assertIs(overrides['debug'].kwargs['value_type'], int)


if __name__ == '__main__':
    unittest.main()
