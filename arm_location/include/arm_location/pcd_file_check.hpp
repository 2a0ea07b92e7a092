#ifndef ARM_LOCATION__PCD_FILE_CHECK_HPP_
#define ARM_LOCATION__PCD_FILE_CHECK_HPP_

#include <optional>
#include <string>

namespace arm_location
{

// PCL's PCD reader trusts the header it parses: a file without FIELDS (any
// plain text file) makes it crash, and a POINTS count larger than the file
// makes it allocate without bound. This reads the header on its own and checks
// that it is complete, consistent and backed by enough bytes, so that PCL is
// only handed files it can read safely. Returns the reason a file must not be
// read, or nothing when it may.
std::optional<std::string> pcdFileProblem(const std::string & path);

}  // namespace arm_location

#endif  // ARM_LOCATION__PCD_FILE_CHECK_HPP_
