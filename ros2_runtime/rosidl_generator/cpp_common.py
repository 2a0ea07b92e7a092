"""Names and types shared by the header writers: C++ types of fields, header
paths and guards, namespaces and the frame of a generated file."""

import re

from interface_parser import Member, Service, Type

CPP_PRIMITIVES = {
    'bool': 'bool', 'byte': 'unsigned char', 'char': 'uint8_t',
    'int8': 'int8_t', 'uint8': 'uint8_t', 'int16': 'int16_t', 'uint16': 'uint16_t',
    'int32': 'int32_t', 'uint32': 'uint32_t', 'int64': 'int64_t', 'uint64': 'uint64_t',
    'float32': 'float', 'float64': 'double',
}
REBIND = 'typename std::allocator_traits<ContainerAllocator>::template rebind_alloc<{}>'
CPP_STRINGS = {
    'string': 'std::basic_string<char, std::char_traits<char>, ' + REBIND.format('char') + '>',
    'wstring': ('std::basic_string<char16_t, std::char_traits<char16_t>, '
                + REBIND.format('char16_t') + '>'),
}

def snake_case(name):
    """'PointCloud2' -> 'point_cloud2', 'TFMessage' -> 'tf_message', as rosidl does."""
    name = re.sub(r'(.)([A-Z][a-z]+)', r'\1_\2', name)
    name = re.sub(r'([a-z0-9])([A-Z])', r'\1_\2', name)
    return name.lower()


def header_path(package, subfolder, name, suffix=''):
    if suffix:
        return f'{package}/{subfolder}/detail/{snake_case(name)}__{suffix}.hpp'
    return f'{package}/{subfolder}/{snake_case(name)}.hpp'


def guard(path):
    return re.sub(r'[/.]', '__', path.upper()[:-len('.hpp')]) + '_HPP_'


def messages_of(interface):
    if isinstance(interface, Service):
        return [interface.request, interface.response]
    return [interface]


def message_members(message):
    """The struct's members; rosidl gives an empty message one dummy byte."""
    if message.members:
        return message.members
    return [Member(Type('uint8', None), 'structure_needs_at_least_one_member')]


def nested_types(interface):
    """(package, subfolder, name) of every message type a field uses, in order."""
    seen = []
    for message in messages_of(interface):
        for member in message.members:
            t = member.type
            # A same-package type named from a service file is one of the package's messages.
            key = (t.package, 'msg', t.base)
            if not t.is_primitive and key not in seen:
                seen.append(key)
    return seen


def element_type(t):
    if t.is_primitive:
        return CPP_STRINGS[t.base] if t.is_string else CPP_PRIMITIVES[t.base]
    return f'{t.package}::msg::{t.base}_<ContainerAllocator>'


def cpp_type(t):
    element = element_type(t)
    if t.is_array:
        return f'std::array<{element}, {t.array_size}>'
    if t.is_sequence:
        alloc = REBIND.format(element)
        if t.sequence_bound is not None:
            return f'rosidl_runtime_cpp::BoundedVector<{element}, {t.sequence_bound}, {alloc}>'
        return f'std::vector<{element}, {alloc}>'
    return element


def open_namespaces(package, subfolder, out):
    out.append(f'namespace {package}')
    out.append('{')
    out.append('')
    out.append(f'namespace {subfolder}')
    out.append('{')
    out.append('')


def close_namespaces(package, subfolder, out):
    out.append('')
    out.append(f'}}  // namespace {subfolder}')
    out.append('')
    out.append(f'}}  // namespace {package}')


def file_text(path, source, includes, body):
    lines = [f'// generated from {source} by the ROS 2 runtime\'s interface generator', '']
    lines.append(f'#ifndef {guard(path)}')
    lines.append(f'#define {guard(path)}')
    lines.append('')
    for include in includes:
        lines.append(f'#include {include}' if include else '')
    lines.append('')
    lines += body
    lines.append('')
    lines.append(f'#endif  // {guard(path)}')
    return '\n'.join(lines) + '\n'


def detail_includes(interface, part, system, runtime):
    """The includes of one detail header: standard headers, the interface's
    struct header (in the other parts), runtime headers, then the same part
    of every nested type."""
    includes = system + ['']
    if part != 'struct':
        sub = messages_of(interface)[0].subfolder
        includes.append(f'"{header_path(interface.package, sub, interface.name, "struct")}"')
    includes += [f'"{header}"' for header in runtime]
    nested = nested_types(interface)
    if nested:
        includes.append('')
        includes += [f'"{header_path(*n, part)}"' for n in nested]
    return includes
