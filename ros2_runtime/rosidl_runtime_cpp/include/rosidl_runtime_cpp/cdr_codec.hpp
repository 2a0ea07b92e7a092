#ifndef ROSIDL_RUNTIME_CPP__CDR_CODEC_HPP_
#define ROSIDL_RUNTIME_CPP__CDR_CODEC_HPP_

// The wire form of messages as Humble's default middleware writes it: a
// 4-byte encapsulation header (CDR, host byte order) followed by plain CDR,
// aligned relative to the first byte after the header. Strings carry their
// length including the terminating NUL, sequences a uint32 count, fixed
// arrays nothing.
//
// Codec<T> knows one C++ field type: its smallest wire size (min_size), the
// offset after it when written at a given offset (size), and how to write and
// read it through Fast CDR. Generated headers specialise it for each message.
// Reading never trusts the payload: a count is checked against the bytes
// left before anything is allocated, and a short or malformed payload ends
// in an exception that read_payload turns into false.

#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>
#include <fastcdr/exceptions/BadParamException.h>
#include <fastcdr/exceptions/NotEnoughMemoryException.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "rosidl_runtime_cpp/bounded_vector.hpp"

namespace rosidl_runtime_cpp
{
namespace cdr
{

constexpr std::size_t encapsulation_size = 4;

inline std::size_t align(std::size_t offset, std::size_t alignment)
{
  return (offset + alignment - 1) & ~(alignment - 1);
}

// Fast CDR steps over alignment padding without writing it; writing it as
// zeros keeps stale buffer contents off the wire.
inline void pad(eprosima::fastcdr::Cdr & cdr, std::size_t alignment)
{
  const std::size_t offset = cdr.getSerializedDataLength() - encapsulation_size;
  for (std::size_t i = offset; i % alignment != 0; ++i) {
    cdr.serialize(uint8_t{0});
  }
}

inline void write_count(eprosima::fastcdr::Cdr & cdr, std::size_t n)
{
  pad(cdr, 4);
  cdr.serialize(static_cast<uint32_t>(n));
}

class Reader
{
public:
  Reader(eprosima::fastcdr::Cdr & stream, std::size_t size)
  : cdr(stream), size_(size) {}

  // A sequence or string length whose elements take at least
  // min_element_size bytes each, refused when the payload cannot hold them.
  uint32_t count(std::size_t min_element_size)
  {
    uint32_t n;
    cdr.deserialize(n);
    const std::size_t left = size_ - cdr.getSerializedDataLength();
    if (min_element_size != 0 && n > left / min_element_size) {
      throw eprosima::fastcdr::exception::NotEnoughMemoryException("count exceeds payload");
    }
    return n;
  }

  eprosima::fastcdr::Cdr & cdr;

private:
  std::size_t size_;
};

template<typename T, typename Enable = void>
struct Codec;

template<typename T>
constexpr bool is_plain_v = std::is_arithmetic_v<T> && !std::is_same_v<T, bool>;

template<typename T>
struct Codec<T, std::enable_if_t<std::is_arithmetic_v<T>>>
{
  static constexpr std::size_t min_size = sizeof(T);
  static std::size_t size(const T &, std::size_t offset)
  {
    return align(offset, sizeof(T)) + sizeof(T);
  }
  static void write(eprosima::fastcdr::Cdr & cdr, const T & value)
  {
    pad(cdr, sizeof(T));
    cdr.serialize(value);
  }
  static void read(Reader & in, T & value) {in.cdr.deserialize(value);}
};

template<typename Traits, typename Alloc>
struct Codec<std::basic_string<char, Traits, Alloc>>
{
  using String = std::basic_string<char, Traits, Alloc>;
  static constexpr std::size_t min_size = 4;
  static std::size_t size(const String & s, std::size_t offset)
  {
    return align(offset, 4) + 4 + s.size() + 1;
  }
  static void write(eprosima::fastcdr::Cdr & cdr, const String & s)
  {
    write_count(cdr, s.size() + 1);
    cdr.serializeArray(s.c_str(), s.size() + 1);
  }
  static void read(Reader & in, String & s)
  {
    const uint32_t length = in.count(1);
    // Some writers send an empty string as a bare zero length.
    if (length == 0) {
      s.clear();
      return;
    }
    s.resize(length - 1);
    in.cdr.deserializeArray(&s[0], length - 1);
    char nul;
    in.cdr.deserialize(nul);
    if (nul != '\0') {
      throw eprosima::fastcdr::exception::BadParamException("string without terminating NUL");
    }
  }
};

// string<=N: the same wire form, refused on reading when longer than N.
template<typename String, std::size_t Bound>
struct BoundedStringCodec : Codec<String>
{
  static void read(Reader & in, String & s)
  {
    Codec<String>::read(in, s);
    if (s.size() > Bound) {
      throw eprosima::fastcdr::exception::BadParamException("string exceeds its bound");
    }
  }
};

// wstring: a uint32 count of characters, then each character as a uint32.
template<typename Traits, typename Alloc>
struct Codec<std::basic_string<char16_t, Traits, Alloc>>
{
  using String = std::basic_string<char16_t, Traits, Alloc>;
  static constexpr std::size_t min_size = 4;
  static std::size_t size(const String & s, std::size_t offset)
  {
    return align(offset, 4) + 4 + 4 * s.size();
  }
  static void write(eprosima::fastcdr::Cdr & cdr, const String & s)
  {
    write_count(cdr, s.size());
    for (char16_t c : s) {
      cdr.serialize(static_cast<uint32_t>(c));
    }
  }
  static void read(Reader & in, String & s)
  {
    const uint32_t length = in.count(4);
    s.resize(length);
    for (char16_t & c : s) {
      uint32_t code;
      in.cdr.deserialize(code);
      c = static_cast<char16_t>(code);
    }
  }
};

// Plain numbers go as one copy, except where glibc's memcpy on x86 would
// copy them with rep movsb while the destination lies a few bytes after the
// source modulo 4 KiB: that runs up to ten times slower, so such copies go
// in blocks of 2 KiB, too short for rep movsb.
template<typename T>
std::size_t copy_block(const void * destination, const void * source, std::size_t n)
{
  const std::uintptr_t distance =
    (reinterpret_cast<std::uintptr_t>(destination) - reinterpret_cast<std::uintptr_t>(source)) %
    4096;
  return distance != 0 && distance < 64 ? 2048 / sizeof(T) : n;
}

// The elements of an array or sequence, without a count, each through
// ElementCodec (Codec<T>, or a bounded string's codec). Fast CDR aligns a
// block of plain numbers only when it is not empty.
template<typename T, typename ElementCodec = Codec<T>>
struct Elements
{
  static std::size_t size(const T * first, std::size_t n, std::size_t offset)
  {
    if constexpr (is_plain_v<T>) {
      return n == 0 ? offset : align(offset, sizeof(T)) + n * sizeof(T);
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        offset = ElementCodec::size(first[i], offset);
      }
      return offset;
    }
  }
  static void write(eprosima::fastcdr::Cdr & cdr, const T * first, std::size_t n)
  {
    if constexpr (is_plain_v<T>) {
      if (n != 0) {
        pad(cdr, sizeof(T));
      }
      const std::size_t block = copy_block<T>(cdr.getCurrentPosition(), first, n);
      for (std::size_t done = 0; done < n; done += block) {
        cdr.serializeArray(first + done, std::min(block, n - done));
      }
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        ElementCodec::write(cdr, first[i]);
      }
    }
  }
  static void read(Reader & in, T * first, std::size_t n)
  {
    if constexpr (is_plain_v<T>) {
      const std::size_t block = copy_block<T>(first, in.cdr.getCurrentPosition(), n);
      for (std::size_t done = 0; done < n; done += block) {
        in.cdr.deserializeArray(first + done, std::min(block, n - done));
      }
    } else {
      for (std::size_t i = 0; i < n; ++i) {
        ElementCodec::read(in, first[i]);
      }
    }
  }
};

template<typename Array, typename ElementCodec = Codec<typename Array::value_type>>
struct ArrayCodec
{
  using T = typename Array::value_type;
  static constexpr std::size_t min_size = std::tuple_size_v<Array> * ElementCodec::min_size;
  static std::size_t size(const Array & a, std::size_t offset)
  {
    return Elements<T, ElementCodec>::size(a.data(), a.size(), offset);
  }
  static void write(eprosima::fastcdr::Cdr & cdr, const Array & a)
  {
    Elements<T, ElementCodec>::write(cdr, a.data(), a.size());
  }
  static void read(Reader & in, Array & a)
  {
    Elements<T, ElementCodec>::read(in, a.data(), a.size());
  }
};

template<typename T, std::size_t N>
struct Codec<std::array<T, N>>: ArrayCodec<std::array<T, N>> {};

// Sequences: std::vector for T[], BoundedVector for T[<=N].
template<typename Seq, std::size_t Bound,
  typename ElementCodec = Codec<typename Seq::value_type>>
struct SequenceCodec
{
  using T = typename Seq::value_type;
  static constexpr std::size_t min_size = 4;
  static std::size_t size(const Seq & v, std::size_t offset)
  {
    return Elements<T, ElementCodec>::size(v.data(), v.size(), align(offset, 4) + 4);
  }
  static void write(eprosima::fastcdr::Cdr & cdr, const Seq & v)
  {
    write_count(cdr, v.size());
    Elements<T, ElementCodec>::write(cdr, v.data(), v.size());
  }
  static void read(Reader & in, Seq & v)
  {
    const uint32_t n = in.count(ElementCodec::min_size);
    if (n > Bound) {
      throw eprosima::fastcdr::exception::BadParamException("sequence exceeds its bound");
    }
    v.resize(n);
    Elements<T, ElementCodec>::read(in, v.data(), n);
  }
};

template<typename T, typename Alloc>
struct Codec<std::vector<T, Alloc>>: SequenceCodec<std::vector<T, Alloc>, UINT32_MAX> {};

template<typename T, std::size_t N, typename Alloc>
struct Codec<BoundedVector<T, N, Alloc>>: SequenceCodec<BoundedVector<T, N, Alloc>, N> {};

// std::vector<bool> has no data(): one element at a time.
template<typename Alloc>
struct Codec<std::vector<bool, Alloc>>
{
  static constexpr std::size_t min_size = 4;
  static std::size_t size(const std::vector<bool, Alloc> & v, std::size_t offset)
  {
    return align(offset, 4) + 4 + v.size();
  }
  static void write(eprosima::fastcdr::Cdr & cdr, const std::vector<bool, Alloc> & v)
  {
    write_count(cdr, v.size());
    for (bool b : v) {
      cdr.serialize(b);
    }
  }
  static void read(Reader & in, std::vector<bool, Alloc> & v)
  {
    v.resize(in.count(1));
    for (auto && b : v) {
      bool value;
      in.cdr.deserialize(value);
      b = value;
    }
  }
};

template<typename T>
std::size_t payload_size(const T & msg)
{
  return encapsulation_size + Codec<T>::size(msg, 0);
}

template<typename T>
void write_payload(const T & msg, uint8_t * out)
{
  eprosima::fastcdr::FastBuffer buffer(reinterpret_cast<char *>(out), payload_size(msg));
  eprosima::fastcdr::Cdr cdr(
    buffer, eprosima::fastcdr::Cdr::DEFAULT_ENDIAN, eprosima::fastcdr::Cdr::DDS_CDR);
  cdr.serialize_encapsulation();
  Codec<T>::write(cdr, msg);
}

template<typename T>
bool read_payload(const uint8_t * in, std::size_t size, T & msg)
{
  try {
    eprosima::fastcdr::FastBuffer buffer(
      const_cast<char *>(reinterpret_cast<const char *>(in)), size);
    eprosima::fastcdr::Cdr cdr(
      buffer, eprosima::fastcdr::Cdr::DEFAULT_ENDIAN, eprosima::fastcdr::Cdr::DDS_CDR);
    cdr.read_encapsulation();
    if (cdr.getDDSCdrPlFlag() == eprosima::fastcdr::Cdr::DDS_CDR_WITH_PL) {
      return false;
    }
    Reader reader(cdr, size);
    Codec<T>::read(reader, msg);
    return true;
  } catch (const eprosima::fastcdr::exception::Exception &) {
    return false;
  }
}

}  // namespace cdr
}  // namespace rosidl_runtime_cpp

#endif  // ROSIDL_RUNTIME_CPP__CDR_CODEC_HPP_
