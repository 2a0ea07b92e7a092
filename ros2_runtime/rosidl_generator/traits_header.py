"""Writes detail/<name>__traits.hpp: rosidl_generator_traits (names, sizes,
kinds) and the to_yaml() printers."""

from cpp_common import (close_namespaces, detail_includes, file_text, header_path,
                        message_members, messages_of, open_namespaces)
from interface_parser import Service

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
    includes = detail_includes(interface, 'traits',
                               ['<ostream>', '<sstream>', '<string>', '<type_traits>'],
                               ['rosidl_runtime_cpp/traits.hpp'])
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
