#ifndef TF2__EXCEPTIONS_H_
#define TF2__EXCEPTIONS_H_

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tf2
{

enum class TF2Error : std::uint8_t
{
  TF2_NO_ERROR = 0,
  TF2_LOOKUP_ERROR = 1,
  TF2_CONNECTIVITY_ERROR = 2,
  TF2_EXTRAPOLATION_ERROR = 3,
  TF2_INVALID_ARGUMENT_ERROR = 4,
  TF2_TIMEOUT_ERROR = 5,
  TF2_TRANSFORM_ERROR = 6
};

// Every failure of a transform lookup; catch this to catch them all.
class TransformException : public std::runtime_error
{
public:
  explicit TransformException(const std::string & errorDescription)
  : std::runtime_error(errorDescription) {}
};

// The frames exist but no chain of transforms joins them.
class ConnectivityException : public TransformException
{
public:
  explicit ConnectivityException(const std::string & errorDescription)
  : TransformException(errorDescription) {}
};

// A frame is unknown, or the tree is malformed.
class LookupException : public TransformException
{
public:
  explicit LookupException(const std::string & errorDescription)
  : TransformException(errorDescription) {}
};

// The requested time lies outside the data held for some link.
class ExtrapolationException : public TransformException
{
public:
  explicit ExtrapolationException(const std::string & errorDescription)
  : TransformException(errorDescription) {}
};

// A frame id that can never name a frame (empty, or with a leading '/').
class InvalidArgumentException : public TransformException
{
public:
  explicit InvalidArgumentException(const std::string & errorDescription)
  : TransformException(errorDescription) {}
};

class TimeoutException : public TransformException
{
public:
  explicit TimeoutException(const std::string & errorDescription)
  : TransformException(errorDescription) {}
};

}  // namespace tf2

#endif  // TF2__EXCEPTIONS_H_
