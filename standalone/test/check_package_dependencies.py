#!/usr/bin/env python3
"""Every find_package() of a package's CMake files is declared in its package.xml.

colcon orders a workspace's builds by package.xml alone, and rosdep installs
what package.xml names: a dependency that CMake finds but package.xml does
not declare builds here, where everything is built in one tree, and fails on
a ROS 2 machine. Usage: check_package_dependencies.py <workspace root>
"""

import pathlib
import re
import sys
import xml.etree.ElementTree as ElementTree

# What a package.xml names for a CMake package that is not a ROS package.
# None: nothing to declare (part of the compiler or of CMake).
SYSTEM_KEYS = {
    'Eigen3': 'eigen',
    'GTest': 'gtest',
    'OpenCV': 'libopencv-dev',
    'OpenMP': None,
    'Open3D': None,  # the engine comparison only, installed by its own script
    'PCL': 'libpcl-all-dev',
    'Python3': None,
    'Threads': None,
    'benchmark': 'benchmark',
    'fastcdr': 'fastcdr',
    'fastrtps': 'fastrtps',
    'nanoflann': 'nanoflann',
    'yaml-cpp': 'yaml-cpp',
}

# ROS 2's own build tools, which have no package here.
ROS_TOOL = re.compile(r'^(ament_|rosidl_)')

BUILD_TAGS = {'depend', 'build_depend', 'buildtool_depend', 'build_export_depend'}
TEST_TAGS = BUILD_TAGS | {'test_depend'}

FIND_PACKAGE = re.compile(r'find_package\(\s*([^\s)]+)', re.IGNORECASE)
IF_TESTING = re.compile(r'^\s*if\s*\(\s*BUILD_TESTING\s*\)', re.IGNORECASE)
IF_ANY = re.compile(r'^\s*if\s*\(', re.IGNORECASE)
ENDIF = re.compile(r'^\s*endif\s*\(', re.IGNORECASE)


def package_dirs(root):
    for manifest in sorted(root.rglob('package.xml')):
        if 'build' in manifest.relative_to(root).parts[:1]:
            continue
        yield manifest.parent


def declarations(package_dir):
    tree = ElementTree.parse(package_dir / 'package.xml')
    declared = {}
    for element in tree.getroot():
        if element.text:
            declared.setdefault(element.text.strip(), set()).add(element.tag)
    return tree.getroot().findtext('name'), declared


def cmake_files(package_dir):
    """The package's CMake files, not those of packages nested in it."""
    for path in sorted(package_dir.rglob('CMakeLists.txt')):
        owner = path.parent
        while owner != package_dir and not (owner / 'package.xml').exists():
            owner = owner.parent
        if owner == package_dir:
            yield path


def finds(path, package_dir):
    """(name, for tests only, line) for each find_package() in the file."""
    under_test_dir = 'test' in path.relative_to(package_dir).parts[:-1]
    # Depth of nested if()s, and the depth at which if(BUILD_TESTING) opened.
    depth = 0
    testing_at = None
    for number, line in enumerate(path.read_text().splitlines(), 1):
        code = line.split('#', 1)[0]
        if IF_TESTING.match(code) and testing_at is None:
            testing_at = depth
        if IF_ANY.match(code):
            depth += 1
        if ENDIF.match(code):
            depth -= 1
            if testing_at is not None and depth == testing_at:
                testing_at = None
        for name in FIND_PACKAGE.findall(code):
            if '$' not in name:
                yield name, under_test_dir or testing_at is not None, number


def problems(root):
    ros_packages = {declarations(d)[0] for d in package_dirs(root)}
    for package_dir in package_dirs(root):
        name, declared = declarations(package_dir)
        for path in cmake_files(package_dir):
            where = path.relative_to(root)
            for found, for_tests, line in finds(path, package_dir):
                if found in ros_packages or ROS_TOOL.match(found):
                    key = found
                elif found in SYSTEM_KEYS:
                    key = SYSTEM_KEYS[found]
                    if key is None:
                        continue
                else:
                    yield (f'{where}:{line}: find_package({found}) is neither a ROS package nor '
                           f'a known system dependency; name its rosdep key in {__file__}')
                    continue
                allowed = TEST_TAGS if for_tests else BUILD_TAGS
                if not declared.get(key, set()) & allowed:
                    tags = ', '.join(f'<{t}>' for t in sorted(allowed))
                    yield (f'{where}:{line}: find_package({found}): {name}/package.xml must '
                           f'declare {key} in one of {tags}')


def main():
    found = list(problems(pathlib.Path(sys.argv[1]).resolve()))
    for problem in found:
        print(problem)
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
