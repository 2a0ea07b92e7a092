"""Writes detail/<name>__struct.hpp: the message structs as rosidl lays them
out, with their constructors, typedefs, constants and comparisons."""

from cpp_common import (CPP_PRIMITIVES, CPP_STRINGS, close_namespaces, cpp_type, detail_includes,
                        element_type, file_text, header_path, message_members, messages_of,
                        open_namespaces)
from interface_parser import Service

INIT_ALL = 'rosidl_runtime_cpp::MessageInitialization::ALL'
INIT_ZERO = 'rosidl_runtime_cpp::MessageInitialization::ZERO'
INIT_DEFAULTS = 'rosidl_runtime_cpp::MessageInitialization::DEFAULTS_ONLY'

def cpp_literal(t, value):
    base = t.base
    if base == 'bool':
        return 'true' if value else 'false'
    if base in ('string', 'wstring'):
        escaped = value.replace('\\', '\\\\').replace('"', '\\"').replace('\n', '\\n')
        return ('u"' if base == 'wstring' else '"') + escaped + '"'
    if base == 'float32':
        return repr(float(value)) + 'f'
    if base == 'float64':
        return repr(float(value))
    if base == 'int64' and value == -2**63:
        return '(-9223372036854775807ll - 1)'
    if base == 'int32' and value == -2**31:
        return '(-2147483647l - 1)'
    suffix = {'uint8': 'u', 'byte': 'u', 'char': 'u', 'uint16': 'u', 'uint32': 'ul',
              'int32': 'l', 'uint64': 'ull', 'int64': 'll'}.get(base, '')
    return f'{value}{suffix}'


def zero_literal(t):
    return {'bool': 'false', 'float32': '0.0f', 'float64': '0.0'}.get(t.base, '0')


def init_statements(member):
    """(when ALL or ZERO, when ALL or DEFAULTS_ONLY) statements for one field."""
    t, name = member.type, member.name
    if not t.is_primitive or t.is_sequence and member.default is None:
        return [], []
    if member.default is None:
        if t.is_string:
            return [], []
        if t.is_array:
            return [f'std::fill(this->{name}.begin(), this->{name}.end(), {zero_literal(t)});'], []
        return [f'this->{name} = {zero_literal(t)};'], []
    if t.is_array or t.is_sequence:
        values = ', '.join(cpp_literal(t, v) for v in member.default)
        return [], [f'this->{name} = {{{{{values}}}}};' if t.is_array
                    else f'this->{name} = {{{values}}};']
    return [], [f'this->{name} = {cpp_literal(t, member.default)};']


def zero_when_defaulted(member):
    t, name = member.type, member.name
    if member.default is None or t.is_sequence or t.is_string and not t.is_array:
        return []
    if t.is_array:
        if t.is_string:
            return [f'this->{name}.fill("");' if t.base == 'string' else f'this->{name}.fill(u"");']
        return [f'std::fill(this->{name}.begin(), this->{name}.end(), {zero_literal(t)});']
    return [f'this->{name} = {zero_literal(t)};']


def emit_constructor_body(members, out):
    zeroed, defaulted, zero_defaulted, nested_arrays = [], [], [], []
    for member in members:
        z, d = init_statements(member)
        zeroed += z
        defaulted += d
        zero_defaulted += zero_when_defaulted(member)
        t = member.type
        if t.is_array and not t.is_primitive:
            nested_arrays.append(
                f'this->{member.name}.fill({element_type(t)}{{_init}});')
    out.append('  {')
    for line in nested_arrays:
        out.append(f'    {line}')
    if zeroed:
        out.append(f'    if ({INIT_ALL} == _init ||')
        out.append(f'      {INIT_ZERO} == _init)')
        out.append('    {')
        out += [f'      {line}' for line in zeroed]
        out.append('    }')
    if defaulted:
        out.append(f'    if ({INIT_ALL} == _init ||')
        out.append(f'      {INIT_DEFAULTS} == _init)')
        out.append('    {')
        out += [f'      {line}' for line in defaulted]
        if zero_defaulted:
            out.append(f'    }} else if ({INIT_ZERO} == _init) {{')
            out += [f'      {line}' for line in zero_defaulted]
        out.append('    }')
    if not (zeroed or defaulted or nested_arrays):
        out.append('    (void)_init;')
    out.append('  }')


def emit_struct(message, out):
    name = message.name
    full = f'{message.package}::{message.subfolder}::{name}_<ContainerAllocator>'
    members = message_members(message)
    out.append('template<class ContainerAllocator>')
    out.append(f'struct {name}_')
    out.append('{')
    out.append(f'  using Type = {name}_<ContainerAllocator>;')
    out.append('')
    for with_alloc in (False, True):
        params = f'rosidl_runtime_cpp::MessageInitialization _init = {INIT_ALL}'
        if with_alloc:
            params = 'const ContainerAllocator & _alloc, ' + params
        out.append(f'  explicit {name}_({params})')
        inits = []
        for member in members:
            t = member.type
            if not t.is_primitive and not t.is_array and not t.is_sequence:
                inits.append(f'{member.name}(_alloc, _init)' if with_alloc
                             else f'{member.name}(_init)')
            elif with_alloc and (t.is_sequence or t.is_string and not t.is_array):
                inits.append(f'{member.name}(_alloc)')
        if inits:
            out.append('  : ' + ',\n    '.join(inits))
        if with_alloc and not any('_alloc' in i for i in inits):
            emit_constructor_body(members, body := [])
            body.insert(1, '    (void)_alloc;')
            out += body
        else:
            emit_constructor_body(members, out)
        out.append('')
    out.append('  // field types and members')
    for member in members:
        out.append(f'  using _{member.name}_type =')
        out.append(f'    {cpp_type(member.type)};')
        out.append(f'  _{member.name}_type {member.name};')
    out.append('')
    out.append('  // setters for named parameter idiom')
    for member in members:
        out.append(f'  Type & set__{member.name}(')
        out.append(f'    const {cpp_type(member.type)} & _arg)')
        out.append('  {')
        out.append(f'    this->{member.name} = _arg;')
        out.append('    return *this;')
        out.append('  }')
    if message.constants:
        out.append('')
        out.append('  // constant declarations')
        for c in message.constants:
            if c.type.is_string:
                out.append(f'  static const {CPP_STRINGS[c.type.base]} {c.name};')
            else:
                out.append(f'  static constexpr {CPP_PRIMITIVES[c.type.base]} {c.name} =')
                out.append(f'    {cpp_literal(c.type, c.value)};')
    out.append('')
    out.append('  // pointer types')
    out.append(f'  using RawPtr =\n    {full} *;')
    out.append(f'  using ConstRawPtr =\n    const {full} *;')
    out.append(f'  using SharedPtr =\n    std::shared_ptr<{full}>;')
    out.append(f'  using ConstSharedPtr =\n    std::shared_ptr<{full} const>;')
    out.append('')
    for const in ('', 'Const'):
        qual = ' const' if const else ''
        out.append('  template<typename Deleter = std::default_delete<')
        out.append(f'      {full}>>')
        out.append(f'  using {const}UniquePtrWithDeleter =')
        out.append(f'    std::unique_ptr<{full}{qual}, Deleter>;')
        out.append('')
        out.append(f'  using {const}UniquePtr = {const}UniquePtrWithDeleter<>;')
        out.append('')
    out.append(f'  using WeakPtr =\n    std::weak_ptr<{full}>;')
    out.append(f'  using ConstWeakPtr =\n    std::weak_ptr<{full} const>;')
    out.append('')
    out.append('  // comparison operators')
    out.append(f'  bool operator==(const {name}_ & other) const')
    out.append('  {')
    for member in members:
        out.append(f'    if (this->{member.name} != other.{member.name}) {{')
        out.append('      return false;')
        out.append('    }')
    out.append('    return true;')
    out.append('  }')
    out.append(f'  bool operator!=(const {name}_ & other) const')
    out.append('  {')
    out.append('    return !this->operator==(other);')
    out.append('  }')
    out.append(f'}};  // struct {name}_')
    out.append('')
    out.append('// alias to use template instance with default allocator')
    out.append(f'using {name} =')
    out.append(f'  {message.package}::{message.subfolder}::{name}_<std::allocator<void>>;')
    for c in message.constants:
        if c.type.is_string:
            out.append('')
            out.append('template<typename ContainerAllocator>')
            out.append(f'const {CPP_STRINGS[c.type.base]}')
            out.append(f'{name}_<ContainerAllocator>::{c.name} = {cpp_literal(c.type, c.value)};')


def struct_file(interface, source):
    messages = messages_of(interface)
    first = messages[0]
    includes = detail_includes(
        interface, 'struct',
        ['<algorithm>', '<array>', '<cstdint>', '<memory>', '<string>', '<vector>'],
        ['rosidl_runtime_cpp/bounded_vector.hpp', 'rosidl_runtime_cpp/message_initialization.hpp'])
    body = []
    open_namespaces(first.package, first.subfolder, body)
    for i, message in enumerate(messages):
        if i:
            body.append('')
        emit_struct(message, body)
    if isinstance(interface, Service):
        body.append('')
        body.append(f'struct {interface.name}')
        body.append('{')
        for role, message in (('Request', interface.request), ('Response', interface.response)):
            body.append(f'  using {role} = {message.package}::srv::{message.name};')
        body.append('};')
    close_namespaces(first.package, first.subfolder, body)
    return file_text(header_path(interface.package, first.subfolder, interface.name, 'struct'),
                     source, includes, body)
