"""Writes detail/<name>__type_support.hpp: the CDR codec of each message and
its rosidl_runtime_cpp::TypeSupport, the seam the middleware uses."""

from cpp_common import detail_includes, file_text, header_path, message_members, messages_of
from interface_parser import Service

def field_codec(member):
    """The codec of one field; bounded strings, alone or as elements, get one
    that refuses longer strings."""
    t = member.type
    field = f'typename Msg::_{member.name}_type'
    if not (t.is_string and t.string_bound is not None):
        return f'Codec<{field}>'
    if not t.is_array and not t.is_sequence:
        return f'BoundedStringCodec<{field}, {t.string_bound}>'
    element = f'BoundedStringCodec<{field}::value_type, {t.string_bound}>'
    if t.is_array:
        return f'ArrayCodec<{field}, {element}>'
    bound = t.sequence_bound if t.sequence_bound is not None else 'UINT32_MAX'
    return f'SequenceCodec<{field}, {bound}, {element}>'


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
    includes = detail_includes(interface, 'type_support', ['<cstddef>', '<cstdint>'],
                               ['rosidl_runtime_cpp/cdr_codec.hpp',
                                'rosidl_runtime_cpp/type_support.hpp'])
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
