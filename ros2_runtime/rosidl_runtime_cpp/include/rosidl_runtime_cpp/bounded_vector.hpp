#ifndef ROSIDL_RUNTIME_CPP__BOUNDED_VECTOR_HPP_
#define ROSIDL_RUNTIME_CPP__BOUNDED_VECTOR_HPP_

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace rosidl_runtime_cpp
{

// A std::vector that never holds more than UpperBound elements: the C++ type
// of a bounded sequence field (T[<=N]). Growing past the bound throws
// std::length_error.
template<typename Tp, std::size_t UpperBound, typename Alloc = std::allocator<Tp>>
class BoundedVector : private std::vector<Tp, Alloc>
{
  using Base = std::vector<Tp, Alloc>;

public:
  using typename Base::value_type;
  using typename Base::allocator_type;
  using typename Base::size_type;
  using typename Base::reference;
  using typename Base::const_reference;
  using typename Base::iterator;
  using typename Base::const_iterator;

  BoundedVector() = default;
  explicit BoundedVector(const allocator_type & alloc)
  : Base(alloc) {}
  explicit BoundedVector(size_type n, const value_type & value = value_type())
  : Base(checked(n), value) {}
  BoundedVector(std::initializer_list<value_type> values)
  : Base(values) {checked(size());}

  using Base::begin;
  using Base::end;
  using Base::cbegin;
  using Base::cend;
  using Base::size;
  using Base::empty;
  using Base::data;
  using Base::operator[];
  using Base::at;
  using Base::front;
  using Base::back;
  using Base::clear;
  using Base::pop_back;
  using Base::erase;
  using Base::reserve;
  using Base::capacity;

  static constexpr size_type max_size() {return UpperBound;}

  void resize(size_type n) {Base::resize(checked(n));}
  void resize(size_type n, const value_type & value) {Base::resize(checked(n), value);}
  void assign(size_type n, const value_type & value) {Base::assign(checked(n), value);}
  void push_back(const value_type & value) {checked(size() + 1); Base::push_back(value);}
  void push_back(value_type && value) {checked(size() + 1); Base::push_back(std::move(value));}
  template<typename ... Args>
  reference emplace_back(Args && ... args)
  {
    checked(size() + 1);
    return Base::emplace_back(std::forward<Args>(args)...);
  }
  iterator insert(const_iterator pos, const value_type & value)
  {
    checked(size() + 1);
    return Base::insert(pos, value);
  }

  bool operator==(const BoundedVector & other) const {return base() == other.base();}
  bool operator!=(const BoundedVector & other) const {return base() != other.base();}

private:
  const Base & base() const {return *this;}

  static size_type checked(size_type n)
  {
    if (n > UpperBound) {
      throw std::length_error("Exceeded upper bound");
    }
    return n;
  }
};

}  // namespace rosidl_runtime_cpp

#endif  // ROSIDL_RUNTIME_CPP__BOUNDED_VECTOR_HPP_
