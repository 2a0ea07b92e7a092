"""Writes the C++ headers of one interface, laid out as rosidl's C++ generator
lays them out: <pkg>/<msg|srv>/<name>.hpp including detail/<name>__struct.hpp,
__traits.hpp and __type_support.hpp (our Fast CDR serialization)."""

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
INIT_ALL = 'rosidl_runtime_cpp::MessageInitialization::ALL'
INIT_ZERO = 'rosidl_runtime_cpp::MessageInitialization::ZERO'
INIT_DEFAULTS = 'rosidl_runtime_cpp::MessageInitialization::DEFAULTS_ONLY'


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


def nested_types(message):
    """(package, subfolder, name) of every message type used by a field, in order."""
    seen = []
    for member in message.members:
        t = member.type
        if not t.is_primitive:
            # A same-package type named from a service file is one of the package's messages.
            key = (t.package, 'msg', t.base)
            if key not in seen:
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


def message_members(message):
    """The struct's members; rosidl gives an empty message one dummy byte."""
    if message.members:
        return message.members
    return [Member(Type('uint8', None), 'structure_needs_at_least_one_member')]


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


def messages_of(interface):
    if isinstance(interface, Service):
        return [interface.request, interface.response]
    return [interface]


def struct_file(interface, source):
    messages = messages_of(interface)
    first = messages[0]
    includes = ['<algorithm>', '<array>', '<cstdint>', '<memory>', '<string>', '<vector>', '',
                '"rosidl_runtime_cpp/bounded_vector.hpp"',
                '"rosidl_runtime_cpp/message_initialization.hpp"']
    nested = []
    for message in messages:
        nested += [n for n in nested_types(message) if n not in nested]
    if nested:
        includes.append('')
        includes += [f'"{header_path(*n, "struct")}"' for n in nested]
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


def fixed_size_expr(message, trait):
    """has_fixed_size / has_bounded_size of a message as a C++ constant expression."""
    terms = []
    for member in message_members(message):
        t = member.type
        if t.is_sequence and (trait == 'has_fixed_size' or t.sequence_bound is None):
            return 'false'
        if t.is_string and (trait == 'has_fixed_size' or t.string_bound is None):
            return 'false'
        if not t.is_primitive:
            terms.append(f'{trait}<{t.package}::msg::{t.base}>::value')
    return ' && '.join(terms) if terms else 'true'


def yaml_value(t, expr):
    """The statement printing one value of a field of type t."""
    if not t.is_primitive:
        return None
    if t.base == 'byte':
        return f'rosidl_generator_traits::character_value_to_yaml({expr}, out);'
    return f'rosidl_generator_traits::value_to_yaml({expr}, out);'


def emit_flow_yaml(message, out):
    members = message.members
    out.append(f'inline void to_flow_style_yaml(const {message.name} & msg, std::ostream & out)')
    out.append('{')
    if not members:
        out += ['  (void)msg;', '  out << "null";', '}']
        return
    out.append('  out << "{";')
    for i, member in enumerate(members):
        t, name = member.type, member.name
        out.append(f'  // member: {name}')
        out.append('  {')
        if t.is_array or t.is_sequence:
            out.append(f'    if (msg.{name}.size() == 0) {{')
            out.append(f'      out << "{name}: []";')
            out.append('    } else {')
            out.append(f'      out << "{name}: [";')
            out.append(f'      size_t pending_items = msg.{name}.size();')
            out.append(f'      for (auto item : msg.{name}) {{')
            value = yaml_value(t, 'item') or 'to_flow_style_yaml(item, out);'
            out.append(f'        {value}')
            out.append('        if (--pending_items > 0) {')
            out.append('          out << ", ";')
            out.append('        }')
            out.append('      }')
            out.append('      out << "]";')
            out.append('    }')
        else:
            out.append(f'    out << "{name}: ";')
            out.append('    ' + (yaml_value(t, f'msg.{name}') or f'to_flow_style_yaml(msg.{name}, out);'))
        if i + 1 < len(members):
            out.append('    out << ", ";')
        out.append('  }')
    out.append('  out << "}";')
    out.append('}')


def emit_block_yaml(message, out):
    members = message.members
    out.append(f'inline void to_block_style_yaml(')
    out.append(f'  const {message.name} & msg,')
    out.append('  std::ostream & out, size_t indentation = 0)')
    out.append('{')
    if not members:
        out += ['  (void)msg;', '  (void)indentation;', '  out << "null\\n";', '}']
        return
    indent = ['if (indentation > 0) {', '  out << std::string(indentation, \' \');', '}']
    for member in members:
        t, name = member.type, member.name
        out.append(f'  // member: {name}')
        out.append('  {')
        out += ['    ' + line for line in indent]
        if t.is_array or t.is_sequence:
            out.append(f'    if (msg.{name}.size() == 0) {{')
            out.append(f'      out << "{name}: []\\n";')
            out.append('    } else {')
            out.append(f'      out << "{name}:\\n";')
            out.append(f'      for (auto item : msg.{name}) {{')
            out += ['        ' + line for line in indent]
            value = yaml_value(t, 'item')
            if value:
                out.append('        out << "- ";')
                out.append(f'        {value}')
                out.append('        out << "\\n";')
            else:
                out.append('        out << "-\\n";')
                out.append('        to_block_style_yaml(item, out, indentation + 2);')
            out.append('      }')
            out.append('    }')
        else:
            value = yaml_value(t, f'msg.{name}')
            if value:
                out.append(f'    out << "{name}: ";')
                out.append(f'    {value}')
                out.append('    out << "\\n";')
            else:
                out.append(f'    out << "{name}:\\n";')
                out.append(f'    to_block_style_yaml(msg.{name}, out, indentation + 2);')
        out.append('  }')
    out.append('}')


def emit_yaml(message, out):
    """to_flow_style_yaml, to_block_style_yaml and to_yaml of one message, as
    Humble's generated traits print messages."""
    emit_flow_yaml(message, out)
    out.append('')
    emit_block_yaml(message, out)
    out.append('')
    out.append(f'inline std::string to_yaml(const {message.name} & msg, bool use_flow_style = false)')
    out.append('{')
    out.append('  std::ostringstream out;')
    out.append('  if (use_flow_style) {')
    out.append('    to_flow_style_yaml(msg, out);')
    out.append('  } else {')
    out.append('    to_block_style_yaml(msg, out);')
    out.append('  }')
    out.append('  return out.str();')
    out.append('}')


def traits_file(interface, source):
    messages = messages_of(interface)
    sub = messages[0].subfolder
    nested = []
    for message in messages:
        nested += [n for n in nested_types(message) if n not in nested]
    includes = ['<ostream>', '<sstream>', '<string>', '<type_traits>', '',
                f'"{header_path(interface.package, sub, interface.name, "struct")}"',
                '"rosidl_runtime_cpp/traits.hpp"']
    includes += [f'"{header_path(*n, "traits")}"' for n in nested]
    body = []
    open_namespaces(interface.package, sub, body)
    for i, message in enumerate(messages):
        if i:
            body.append('')
        emit_yaml(message, body)
    close_namespaces(interface.package, sub, body)
    body += ['', 'namespace rosidl_generator_traits', '{']
    for message in messages:
        cpp = f'{message.package}::{sub}::{message.name}'
        body.append('')
        body.append('template<>')
        body.append(f'inline const char * data_type<{cpp}>()')
        body.append('{')
        body.append(f'  return "{cpp}";')
        body.append('}')
        body.append('')
        body.append('template<>')
        body.append(f'inline const char * name<{cpp}>()')
        body.append('{')
        body.append(f'  return "{message.package}/{sub}/{message.name}";')
        body.append('}')
        for trait in ('has_fixed_size', 'has_bounded_size'):
            body.append('')
            body.append('template<>')
            body.append(f'struct {trait}<{cpp}>')
            body.append(f'  : std::integral_constant<bool, {fixed_size_expr(message, trait)}> {{}};')
        body.append('')
        body.append('template<>')
        body.append(f'struct is_message<{cpp}>')
        body.append('  : std::true_type {};')
    if isinstance(interface, Service):
        srv = f'{interface.package}::srv::{interface.name}'
        req, resp = (f'{m.package}::srv::{m.name}' for m in messages)
        for fn, text in (('data_type', srv), ('name', f'{interface.package}/srv/{interface.name}')):
            body += ['', 'template<>', f'inline const char * {fn}<{srv}>()', '{',
                     f'  return "{text}";', '}']
        for trait in ('has_fixed_size', 'has_bounded_size'):
            body += ['', 'template<>', f'struct {trait}<{srv}>',
                     f'  : std::integral_constant<bool, {trait}<{req}>::value && '
                     f'{trait}<{resp}>::value> {{}};']
        body += ['', 'template<>', f'struct is_service<{srv}>', '  : std::true_type {};']
        body += ['', 'template<>', f'struct is_service_request<{req}>', '  : std::true_type {};']
        body += ['', 'template<>', f'struct is_service_response<{resp}>',
                 '  : std::true_type {};']
    body.append('')
    body.append('}  // namespace rosidl_generator_traits')
    return file_text(header_path(interface.package, sub, interface.name, 'traits'),
                     source, includes, body)


def field_codec(member):
    t = member.type
    if t.is_string and t.string_bound is not None and not t.is_array and not t.is_sequence:
        return f'BoundedStringCodec<typename Msg::_{member.name}_type, {t.string_bound}>'
    return f'Codec<typename Msg::_{member.name}_type>'


def emit_codec(message, out):
    cpp = f'{message.package}::{message.subfolder}::{message.name}'
    members = message_members(message)
    out.append('namespace cdr')
    out.append('{')
    out.append('')
    out.append('template<class ContainerAllocator>')
    out.append(f'struct Codec<{cpp}_<ContainerAllocator>>')
    out.append('{')
    out.append(f'  using Msg = {cpp}_<ContainerAllocator>;')
    out.append('  static constexpr std::size_t min_size =')
    out.append('    ' + ' +\n    '.join(f'{field_codec(m)}::min_size' for m in members) + ';')
    out.append('')
    out.append('  static std::size_t size(const Msg & msg, std::size_t offset)')
    out.append('  {')
    for m in members:
        out.append(f'    offset = {field_codec(m)}::size(msg.{m.name}, offset);')
    out.append('    return offset;')
    out.append('  }')
    out.append('')
    out.append('  static void write(eprosima::fastcdr::Cdr & cdr, const Msg & msg)')
    out.append('  {')
    for m in members:
        out.append(f'    {field_codec(m)}::write(cdr, msg.{m.name});')
    out.append('  }')
    out.append('')
    out.append('  static void read(Reader & in, Msg & msg)')
    out.append('  {')
    for m in members:
        out.append(f'    {field_codec(m)}::read(in, msg.{m.name});')
    out.append('  }')
    out.append('};')
    out.append('')
    out.append('}  // namespace cdr')
    out.append('')
    out.append('template<class ContainerAllocator>')
    out.append(f'struct TypeSupport<{cpp}_<ContainerAllocator>>')
    out.append('{')
    out.append(f'  using Msg = {cpp}_<ContainerAllocator>;')
    out.append(f'  static constexpr const char * type_name = '
               f'"{message.package}/{message.subfolder}/{message.name}";')
    out.append(f'  static constexpr const char * dds_type_name =')
    out.append(f'    "{message.package}::{message.subfolder}::dds_::{message.name}_";')
    out.append('')
    out.append('  static std::size_t serialized_size(const Msg & msg)')
    out.append('  {')
    out.append('    return cdr::payload_size(msg);')
    out.append('  }')
    out.append('  static void serialize(const Msg & msg, uint8_t * out)')
    out.append('  {')
    out.append('    cdr::write_payload(msg, out);')
    out.append('  }')
    out.append('  static bool deserialize(const uint8_t * in, std::size_t size, Msg & msg)')
    out.append('  {')
    out.append('    return cdr::read_payload(in, size, msg);')
    out.append('  }')
    out.append('};')


def type_support_file(interface, source):
    messages = messages_of(interface)
    sub = messages[0].subfolder
    nested = []
    for message in messages:
        nested += [n for n in nested_types(message) if n not in nested]
    includes = ['<cstddef>', '<cstdint>', '',
                f'"{header_path(interface.package, sub, interface.name, "struct")}"',
                '"rosidl_runtime_cpp/cdr_codec.hpp"',
                '"rosidl_runtime_cpp/type_support.hpp"']
    includes += [f'"{header_path(*n, "type_support")}"' for n in nested]
    body = ['namespace rosidl_runtime_cpp', '{', '']
    for i, message in enumerate(messages):
        if i:
            body.append('')
        emit_codec(message, body)
    if isinstance(interface, Service):
        srv = f'{interface.package}::srv::{interface.name}'
        body += ['', 'template<>', f'struct ServiceTypeSupport<{srv}>', '{',
                 f'  using Request = {srv}::Request;',
                 f'  using Response = {srv}::Response;',
                 f'  static constexpr const char * type_name = '
                 f'"{interface.package}/srv/{interface.name}";',
                 '};']
    body.append('')
    body.append('}  // namespace rosidl_runtime_cpp')
    return file_text(header_path(interface.package, sub, interface.name, 'type_support'),
                     source, includes, body)


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
