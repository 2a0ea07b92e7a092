"""Writes the C++ headers of one interface, laid out as rosidl's C++ generator
lays them out: <pkg>/<msg|srv>/<name>.hpp including detail/<name>__struct.hpp,
__traits.hpp and __type_support.hpp (our Fast CDR serialization)."""

from cpp_common import file_text, header_path, messages_of
from struct_header import struct_file
from traits_header import traits_file
from type_support_header import type_support_file

def main_file(interface, source):
    sub = messages_of(interface)[0].subfolder
    includes = [f'"{header_path(interface.package, sub, interface.name, part)}"'
                for part in ('struct', 'traits', 'type_support')]
    return file_text(header_path(interface.package, sub, interface.name), source, includes, [])


def generate(interface, source):
    """{relative path: text} of every header of one interface."""
    sub = messages_of(interface)[0].subfolder
    files = {header_path(interface.package, sub, interface.name): main_file(interface, source)}
    for part, make in (('struct', struct_file), ('traits', traits_file),
                       ('type_support', type_support_file)):
        files[header_path(interface.package, sub, interface.name, part)] = make(interface, source)
    return files
