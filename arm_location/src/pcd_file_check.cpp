#include "arm_location/pcd_file_check.hpp"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <vector>

namespace arm_location
{
namespace
{

// A header longer than this is not a PCD header.
constexpr std::size_t kMaxHeaderBytes = 1 << 20;
// LZF encodes at most 264 bytes in a 3-byte back reference.
constexpr std::uint64_t kMaxLzfRatio = 100;

bool parseCount(const std::string & token, std::uint64_t & value)
{
  const char * end = token.data() + token.size();
  auto [ptr, ec] = std::from_chars(token.data(), end, value);
  return ec == std::errc() && ptr == end;
}

bool multiplyFits(std::uint64_t a, std::uint64_t b, std::uint64_t & product)
{
  if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a) {
    return false;
  }
  product = a * b;
  return true;
}

struct PcdHeader
{
  std::vector<std::string> fields;
  std::vector<std::string> sizes;
  std::vector<std::string> types;
  std::vector<std::string> counts;
  std::string width;
  std::string height;
  std::string points;
  std::string data;
  std::uint64_t dataOffset = 0;
};

// The kind of a header line as PCL's reader tells it: by the start of the
// line's first word, blanks around the line ignored. Empty for a line it
// does not know, a blank one included.
std::string lineKind(const std::string & line, std::istringstream & words)
{
  words.str(line);
  std::string first;
  if (!(words >> first)) {
    return {};
  }
  if (first[0] == '#') {
    return "#";
  }
  for (const char * known : {"VERSION", "FIELDS", "COLUMNS", "SIZE", "TYPE", "COUNT", "WIDTH",
      "HEIGHT", "VIEWPOINT", "POINTS", "DATA"})
  {
    if (first.rfind(known, 0) == 0) {
      return known;
    }
  }
  return {};
}

// PCL's reader takes lines as header until one it does not know, skipping
// empty ones and comments, and goes on doing so after DATA: a header line
// it does not know before DATA makes it read the file as headerless, and
// one it knows after DATA (the start of the data may look like one) changes
// the layout it then reads the data with. Neither file is read safely.
std::optional<std::string> readHeader(std::ifstream & in, PcdHeader & header)
{
  std::string line;
  std::uint64_t offset = 0;
  bool afterData = false;
  while (std::getline(in, line)) {
    offset += line.size() + 1;
    if (offset > header.dataOffset + kMaxHeaderBytes) {
      return "no end of the header in " + std::to_string(kMaxHeaderBytes) + " bytes";
    }
    if (line.empty()) {
      continue;
    }
    std::istringstream words;
    const std::string key = lineKind(line, words);
    if (key == "#" || (afterData && key == "VERSION")) {
      continue;
    }
    if (afterData) {
      if (key.empty()) {
        return std::nullopt;  // the data begins
      }
      return "the data begins with '" + line.substr(0, 40) + "', a header line to PCL's reader";
    }
    if (key.empty()) {
      return "header line '" + line.substr(0, 40) + "' the PCD reader does not know";
    }
    std::vector<std::string> values;
    for (std::string word; words >> word; ) {
      values.push_back(word);
    }
    if (key == "FIELDS" || key == "COLUMNS") {
      header.fields = values;
    } else if (key == "SIZE") {
      header.sizes = values;
    } else if (key == "TYPE") {
      header.types = values;
    } else if (key == "COUNT") {
      header.counts = values;
    } else if (key == "WIDTH" || key == "HEIGHT" || key == "POINTS" || key == "DATA") {
      if (values.size() != 1) {
        return key + " needs exactly one value";
      }
      (key == "WIDTH" ? header.width : key == "HEIGHT" ? header.height :
      key == "POINTS" ? header.points : header.data) = values[0];
      if (key == "DATA") {
        header.dataOffset = offset;
        afterData = true;
      }
    }
  }
  if (!afterData) {
    return std::string("no DATA line");
  }
  return std::nullopt;  // the file ends within what PCL would take as header
}

// Bytes of one point, from SIZE and COUNT.
std::optional<std::string> pointLayout(
  const PcdHeader & header, std::uint64_t & pointStep, std::uint64_t & valuesPerPoint)
{
  const std::size_t n = header.fields.size();
  if (n == 0) {
    return std::string("no FIELDS");
  }
  if (header.sizes.size() != n || header.types.size() != n ||
    (!header.counts.empty() && header.counts.size() != n))
  {
    return std::string("FIELDS, SIZE, TYPE and COUNT disagree in length");
  }
  pointStep = 0;
  valuesPerPoint = 0;
  for (std::size_t i = 0; i < n; ++i) {
    std::uint64_t size = 0;
    if (!parseCount(header.sizes[i], size) || (size != 1 && size != 2 && size != 4 && size != 8)) {
      return "invalid SIZE '" + header.sizes[i] + "'";
    }
    const std::string & type = header.types[i];
    if (type != "I" && type != "U" && type != "F") {
      return "invalid TYPE '" + type + "'";
    }
    std::uint64_t count = 1;
    if (!header.counts.empty()) {
      if (!parseCount(header.counts[i], count) || count > (1u << 20)) {
        return "invalid COUNT '" + header.counts[i] + "'";
      }
      count = count == 0 ? 1 : count;  // PCL reads a count of 0 as 1
    }
    pointStep += size * count;
    valuesPerPoint += count;
  }
  return std::nullopt;
}

std::optional<std::string> pointCount(const PcdHeader & header, std::uint64_t & points)
{
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
  std::uint64_t width = 0;
  std::uint64_t height = 1;
  if (header.width.empty() && header.points.empty()) {
    return std::string("neither WIDTH nor POINTS");
  }
  if (!header.width.empty() && (!parseCount(header.width, width) || width > kMax)) {
    return "invalid WIDTH '" + header.width + "'";
  }
  if (!header.height.empty() && (!parseCount(header.height, height) || height > kMax)) {
    return "invalid HEIGHT '" + header.height + "'";
  }
  if (!header.points.empty() && (!parseCount(header.points, points) || points > kMax)) {
    return "invalid POINTS '" + header.points + "'";
  }
  if (header.points.empty()) {
    points = width * height;
  } else if (header.width.empty()) {
    width = points;
  }
  if (width * height != points) {
    return std::string("WIDTH x HEIGHT differs from POINTS");
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> pcdFileProblem(const std::string & path)
{
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::string("cannot open the file");
  }
  in.seekg(0, std::ios::end);
  const std::streamoff fileSize = in.tellg();
  in.seekg(0);
  if (fileSize <= 0) {
    return std::string("the file is empty");
  }

  PcdHeader header;
  std::uint64_t pointStep = 0;
  std::uint64_t valuesPerPoint = 0;
  std::uint64_t points = 0;
  if (auto problem = readHeader(in, header)) {
    return problem;
  }
  if (auto problem = pointLayout(header, pointStep, valuesPerPoint)) {
    return problem;
  }
  if (auto problem = pointCount(header, points)) {
    return problem;
  }

  const std::uint64_t size = static_cast<std::uint64_t>(fileSize);
  const std::uint64_t body = size > header.dataOffset ? size - header.dataOffset : 0;
  std::uint64_t bodyBytes = 0;
  if (!multiplyFits(points, pointStep, bodyBytes)) {
    return std::string("POINTS too large for the point size");
  }
  if (header.data == "ascii") {
    // Each value takes at least one character and one separator.
    std::uint64_t minimum = 0;
    if (!multiplyFits(points, 2 * valuesPerPoint, minimum) || minimum > body) {
      return std::string("fewer bytes than POINTS needs");
    }
  } else if (header.data == "binary") {
    if (bodyBytes > body) {
      return std::string("fewer bytes than POINTS needs");
    }
  } else if (header.data == "binary_compressed") {
    std::uint32_t sizes[2] = {0, 0};
    if (body < sizeof(sizes)) {
      return std::string("compressed data without its sizes");
    }
    in.clear();
    in.seekg(static_cast<std::streamoff>(header.dataOffset));
    in.read(reinterpret_cast<char *>(sizes), sizeof(sizes));
    const std::uint64_t compressed = sizes[0];
    const std::uint64_t uncompressed = sizes[1];
    if (!in || compressed > body - sizeof(sizes)) {
      return std::string("compressed data shorter than its size");
    }
    if (uncompressed != bodyBytes || uncompressed > compressed * kMaxLzfRatio) {
      return std::string("compressed sizes disagree with POINTS");
    }
  } else {
    return "unknown DATA '" + header.data + "'";
  }
  return std::nullopt;
}

}  // namespace arm_location
