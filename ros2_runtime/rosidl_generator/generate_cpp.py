"""Generates the C++ headers of a package's interfaces (.msg/.srv files).

  generate_cpp.py --package sensor_msgs --output-dir DIR [--list] FILE...

With --list, prints the headers it would write, one a line, and writes none.
"""

import argparse
import os
import sys

from cpp_emitter import generate, messages_of
from interface_parser import InterfaceError, parse_file


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--package', required=True)
    parser.add_argument('--output-dir', required=True)
    parser.add_argument('--list', action='store_true')
    parser.add_argument('files', nargs='+')
    args = parser.parse_args()
    try:
        interfaces = [(parse_file(args.package, f), f) for f in args.files]
    except (InterfaceError, OSError) as error:
        print(f'rosidl_generate_interfaces: {error}', file=sys.stderr)
        return 1
    for interface, path in interfaces:
        source = f'{args.package}/{messages_of(interface)[0].subfolder}/{os.path.basename(path)}'
        for relative, text in generate(interface, source).items():
            target = os.path.join(args.output_dir, relative)
            if args.list:
                print(target)
                continue
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, 'w', encoding='utf-8') as f:
                f.write(text)
    return 0


if __name__ == '__main__':
    sys.exit(main())
