"""Reads ROS 2 .msg and .srv files into messages: fields and constants."""

import re
from dataclasses import dataclass, field
from typing import List, Optional

PRIMITIVES = {
    'bool', 'byte', 'char', 'int8', 'uint8', 'int16', 'uint16', 'int32', 'uint32',
    'int64', 'uint64', 'float32', 'float64', 'string', 'wstring',
}
INTEGERS = {'byte', 'char', 'int8', 'uint8', 'int16', 'uint16', 'int32', 'uint32',
            'int64', 'uint64'}
FLOATS = {'float32', 'float64'}
STRINGS = {'string', 'wstring'}

FIELD_NAME = re.compile(r'^[a-z]([a-z0-9_]*[a-z0-9])?$')
CONSTANT_NAME = re.compile(r'^[A-Z]([A-Z0-9_]*[A-Z0-9])?$')
TYPE_SPEC = re.compile(
    r'^(?P<base>[A-Za-z][A-Za-z0-9_]*(/[A-Za-z][A-Za-z0-9_]*)?)'
    r'(<=(?P<string_bound>[0-9]+))?'
    r'(\[(?P<array>(<=)?[0-9]*)\])?$')


class InterfaceError(Exception):
    pass


@dataclass
class Type:
    base: str                     # primitive name or message name
    package: Optional[str]        # package of a nested message, None for primitives
    string_bound: Optional[int] = None
    array_size: Optional[int] = None     # T[N]
    is_sequence: bool = False            # T[] or T[<=N]
    sequence_bound: Optional[int] = None

    @property
    def is_primitive(self):
        return self.package is None

    @property
    def is_array(self):
        return self.array_size is not None

    @property
    def is_string(self):
        return self.base in STRINGS and self.is_primitive


@dataclass
class Member:
    type: Type
    name: str
    default: object = None        # parsed value, list for arrays


@dataclass
class Constant:
    type: Type
    name: str
    value: object


@dataclass
class Message:
    package: str
    subfolder: str                # 'msg' or 'srv'
    name: str                     # 'Image', 'ArmLocation_Request'
    members: List[Member] = field(default_factory=list)
    constants: List[Constant] = field(default_factory=list)


@dataclass
class Service:
    package: str
    name: str
    request: Message
    response: Message


def parse_type(text, package):
    match = TYPE_SPEC.match(text)
    if not match:
        raise InterfaceError(f"invalid type '{text}'")
    base = match.group('base')
    if '/' in base:
        nested_package, base = base.split('/')
    elif base in PRIMITIVES:
        nested_package = None
    else:
        nested_package = package
    result = Type(base, nested_package)
    if match.group('string_bound') is not None:
        if base not in STRINGS or nested_package is not None:
            raise InterfaceError(f"only strings take an upper bound: '{text}'")
        result.string_bound = int(match.group('string_bound'))
    array = match.group('array')
    if array is not None:
        if array == '':
            result.is_sequence = True
        elif array.startswith('<='):
            result.is_sequence = True
            result.sequence_bound = int(array[2:])
        else:
            result.array_size = int(array)
            if result.array_size == 0:
                raise InterfaceError(f"array of size 0: '{text}'")
    return result


def parse_scalar(type_, text):
    text = text.strip()
    base = type_.base
    try:
        if base == 'bool':
            if text in ('true', 'True', '1'):
                return True
            if text in ('false', 'False', '0'):
                return False
            raise ValueError(text)
        if base in INTEGERS:
            return int(text, 0)
        if base in FLOATS:
            return float(text)
    except ValueError:
        raise InterfaceError(f"invalid {base} value '{text}'") from None
    if base in STRINGS:
        if len(text) >= 2 and text[0] == text[-1] and text[0] in '\'"':
            text = text[1:-1].encode('utf-8').decode('unicode_escape')
        if type_.string_bound is not None and len(text) > type_.string_bound:
            raise InterfaceError(f"value '{text}' exceeds the string bound")
        return text
    raise InterfaceError(f"a {base} cannot have a value")


def split_list(text):
    """Items of '[a, "b,c", 3]', keeping quoted commas."""
    inner = text.strip()
    if not (inner.startswith('[') and inner.endswith(']')):
        raise InterfaceError(f"array value must be a [list]: '{text}'")
    items, current, quote = [], '', None
    for ch in inner[1:-1]:
        if quote:
            current += ch
            if ch == quote:
                quote = None
        elif ch in '\'"':
            quote = ch
            current += ch
        elif ch == ',':
            items.append(current)
            current = ''
        else:
            current += ch
    if current.strip():
        items.append(current)
    return [item.strip() for item in items]


def parse_value(type_, text):
    if not type_.is_array and not type_.is_sequence:
        return parse_scalar(type_, text)
    values = [parse_scalar(type_, item) for item in split_list(text)]
    if type_.is_array and len(values) != type_.array_size:
        raise InterfaceError(f"array value needs {type_.array_size} items: '{text}'")
    if type_.sequence_bound is not None and len(values) > type_.sequence_bound:
        raise InterfaceError(f"value exceeds the sequence bound: '{text}'")
    return values


def strip_comment(line):
    quote = None
    for i, ch in enumerate(line):
        if quote:
            if ch == quote:
                quote = None
        elif ch in '\'"':
            quote = ch
        elif ch == '#':
            return line[:i]
    return line


def parse_message(package, subfolder, name, text):
    message = Message(package, subfolder, name)
    for number, raw in enumerate(text.splitlines(), 1):
        line = strip_comment(raw).strip()
        if not line:
            continue
        try:
            parts = line.split(None, 1)
            if len(parts) != 2:
                raise InterfaceError(f"expected 'type name': '{line}'")
            type_ = parse_type(parts[0], package)
            rest = parts[1].strip()
            constant = re.match(r'^([A-Za-z0-9_]+)\s*=\s*(.*)$', rest)
            if constant:
                cname, value = constant.groups()
                if not type_.is_primitive or type_.is_array or type_.is_sequence:
                    raise InterfaceError(f"constant '{cname}' must be of a primitive type")
                if not CONSTANT_NAME.match(cname):
                    raise InterfaceError(f"invalid constant name '{cname}'")
                message.constants.append(Constant(type_, cname, parse_scalar(type_, value)))
                continue
            name_and_default = rest.split(None, 1)
            fname = name_and_default[0]
            if not FIELD_NAME.match(fname) or '__' in fname:
                raise InterfaceError(f"invalid field name '{fname}'")
            default = None
            if len(name_and_default) == 2:
                if not type_.is_primitive:
                    raise InterfaceError(f"field '{fname}' of a message type cannot have a default")
                default = parse_value(type_, name_and_default[1])
            if any(m.name == fname for m in message.members):
                raise InterfaceError(f"field '{fname}' defined twice")
            message.members.append(Member(type_, fname, default))
        except InterfaceError as error:
            raise InterfaceError(f'{package}/{subfolder}/{name}:{number}: {error}') from None
    return message


def parse_file(package, path):
    """A Message for a .msg file, a Service for a .srv file."""
    stem = re.split(r'[\\/]', path)[-1].rsplit('.', 1)
    if len(stem) != 2 or stem[1] not in ('msg', 'srv'):
        raise InterfaceError(f"'{path}' is neither a .msg nor a .srv file")
    name, kind = stem
    with open(path, encoding='utf-8') as f:
        text = f.read()
    if kind == 'msg':
        return parse_message(package, 'msg', name, text)
    sections = re.split(r'^---[ \t]*$', text, flags=re.MULTILINE)
    if len(sections) != 2:
        raise InterfaceError(f"'{path}' must hold one '---' between request and response")
    return Service(package, name,
                   parse_message(package, 'srv', name + '_Request', sections[0]),
                   parse_message(package, 'srv', name + '_Response', sections[1]))
