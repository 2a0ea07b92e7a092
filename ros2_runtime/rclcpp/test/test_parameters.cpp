// Parameter overrides from the command line, parameter files and node
// options reach a node typed and ordered as ROS 2 does it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "context_fixture.hpp"
#include "rclcpp/rclcpp.hpp"

namespace
{

std::shared_ptr<rclcpp::Node> auto_declaring_node(
  const std::vector<std::string> & args, const std::string & name = "arm_node",
  const std::string & ns = "")
{
  auto options = options_for(make_context(args));
  options.automatically_declare_parameters_from_overrides(true);
  return std::make_shared<rclcpp::Node>(name, ns, options);
}

class ParamsFile
{
public:
  explicit ParamsFile(const std::string & yaml)
  : path_("/tmp/rclcpp_params_" + std::to_string(getpid()) + ".yaml")
  {
    std::ofstream(path_) << yaml;
  }
  ~ParamsFile() {std::remove(path_.c_str());}
  const std::string & path() const {return path_;}

private:
  std::string path_;
};

TEST(ParameterOverrides, CommandLineValuesTakeTheirYamlTypes)
{
  auto node = auto_declaring_node(
    {"--ros-args", "-p", "debug:=1", "-p", "ratio:=0.5", "-p", "flag:=true", "-p", "yes_word:=yes",
      "-p", "name:=camera", "-p", "quoted:='42'", "-p", "hex:=0x10", "-p", "ints:=[1, 2, 3]",
      "-p", "reals:=[1.5, 2.0]", "-p", "words:=[a, b]", "-p", "bools:=[true, false]",
      "-p", "exp:=1e3"});
  EXPECT_EQ(node->get_parameter("debug").get_type(), rclcpp::PARAMETER_INTEGER);
  EXPECT_EQ(node->get_parameter("debug").as_int(), 1);
  EXPECT_EQ(node->get_parameter("ratio").as_double(), 0.5);
  EXPECT_EQ(node->get_parameter("flag").as_bool(), true);
  EXPECT_EQ(node->get_parameter("yes_word").get_type(), rclcpp::PARAMETER_BOOL);
  EXPECT_EQ(node->get_parameter("name").as_string(), "camera");
  EXPECT_EQ(node->get_parameter("quoted").get_type(), rclcpp::PARAMETER_STRING);
  EXPECT_EQ(node->get_parameter("quoted").as_string(), "42");
  EXPECT_EQ(node->get_parameter("hex").as_int(), 16);
  EXPECT_EQ(node->get_parameter("ints").as_integer_array(), (std::vector<int64_t>{1, 2, 3}));
  EXPECT_EQ(node->get_parameter("reals").as_double_array(), (std::vector<double>{1.5, 2.0}));
  EXPECT_EQ(node->get_parameter("words").as_string_array(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(node->get_parameter("bools").as_bool_array(), (std::vector<bool>{true, false}));
  EXPECT_EQ(node->get_parameter("exp").get_type(), rclcpp::PARAMETER_DOUBLE);
}

TEST(ParameterOverrides, ParamsFileAppliesToItsNodeAndToWildcards)
{
  ParamsFile file(
    "/**:\n"
    "  ros__parameters:\n"
    "    shared: 7\n"
    "    debug: 0\n"
    "arm_node:\n"
    "  ros__parameters:\n"
    "    debug: 2\n"
    "    pcd: /opt/maps/\n"
    "    nano:\n"
    "      max_iterator: 30\n"
    "    ks: [1.0, 2.0]\n"
    "other_node:\n"
    "  ros__parameters:\n"
    "    foreign: 1\n");
  auto node = auto_declaring_node({"--ros-args", "--params-file", file.path()});
  EXPECT_EQ(node->get_parameter("shared").as_int(), 7);
  EXPECT_EQ(node->get_parameter("debug").as_int(), 2) << "the node's own entry comes later";
  EXPECT_EQ(node->get_parameter("pcd").as_string(), "/opt/maps/");
  EXPECT_EQ(node->get_parameter("nano.max_iterator").as_int(), 30);
  EXPECT_EQ(node->get_parameter("ks").as_double_array(), (std::vector<double>{1.0, 2.0}));
  EXPECT_FALSE(node->has_parameter("foreign"));
}

TEST(ParameterOverrides, ParamsFileMatchesNamespacedNodesByFullName)
{
  ParamsFile file(
    "/robot/arm_node:\n"
    "  ros__parameters:\n"
    "    a: 1\n"
    "/robot:\n"
    "  '*':\n"
    "    ros__parameters:\n"
    "      b: 2\n"
    "arm_node:\n"
    "  ros__parameters:\n"
    "    c: 3\n");
  auto node = auto_declaring_node({"--ros-args", "--params-file", file.path()}, "arm_node", "robot");
  EXPECT_EQ(node->get_parameter("a").as_int(), 1);
  EXPECT_EQ(node->get_parameter("b").as_int(), 2);
  EXPECT_FALSE(node->has_parameter("c")) << "'arm_node' names /arm_node only";
}

TEST(ParameterOverrides, LaterSourcesWinAndNodeOptionsWinOverAll)
{
  ParamsFile file("/**:\n  ros__parameters:\n    x: 1\n    y: 1\n    z: 1\n");
  auto options = options_for(
    make_context({"--ros-args", "--params-file", file.path(), "-p", "y:=2", "-p", "z:=2"}));
  options.automatically_declare_parameters_from_overrides(true);
  options.parameter_overrides({rclcpp::Parameter("z", 3)});
  auto node = std::make_shared<rclcpp::Node>("n", options);
  EXPECT_EQ(node->get_parameter("x").as_int(), 1);
  EXPECT_EQ(node->get_parameter("y").as_int(), 2);
  EXPECT_EQ(node->get_parameter("z").as_int(), 3);
}

TEST(ParameterOverrides, NodePrefixedRulesApplyToThatNodeOnly)
{
  auto context = make_context({"--ros-args", "-p", "arm_node:debug:=1", "-p", "other:debug:=5"});
  auto options = options_for(context);
  options.automatically_declare_parameters_from_overrides(true);
  auto node = std::make_shared<rclcpp::Node>("arm_node", options);
  EXPECT_EQ(node->get_parameter("debug").as_int(), 1);
}

TEST(ParameterReads, WrongTypeFailsWithRclcppsText)
{
  auto node = auto_declaring_node({"--ros-args", "-p", "debug:=true", "-p", "nano:=30.0"});
  int debug = 0;
  try {
    node->get_parameter("debug", debug);
    FAIL() << "expected InvalidParameterTypeException";
  } catch (const rclcpp::exceptions::InvalidParameterTypeException & e) {
    EXPECT_STREQ(e.what(), "parameter 'debug' has invalid type: expected [integer] got [bool]");
  }
  int nano = 0;
  try {
    node->get_parameter_or("nano", nano, 100);
    FAIL() << "expected InvalidParameterTypeException";
  } catch (const rclcpp::exceptions::InvalidParameterTypeException & e) {
    EXPECT_STREQ(e.what(), "parameter 'nano' has invalid type: expected [integer] got [double]");
  }
  std::string text;
  EXPECT_THROW(node->get_parameter("debug", text), rclcpp::exceptions::InvalidParameterTypeException);
}

TEST(ParameterReads, MissingParameterFallsBackOrThrowsAsRclcppDoes)
{
  auto node = auto_declaring_node({});
  int value = -1;
  EXPECT_FALSE(node->get_parameter_or("nano_max_iterator", value, 100));
  EXPECT_EQ(value, 100);
  EXPECT_EQ(node->get_parameter_or<std::string>("pcd", "/opt/"), "/opt/");
  EXPECT_FALSE(node->has_parameter("pcd"));
  try {
    node->get_parameter("pcd");
    FAIL() << "expected ParameterNotDeclaredException";
  } catch (const rclcpp::exceptions::ParameterNotDeclaredException & e) {
    EXPECT_STREQ(e.what(), "pcd");
  }
}

TEST(ParameterDeclaration, TypedDeclarationsTakeOverridesOfTheirType)
{
  auto options = options_for(make_context({"--ros-args", "-p", "ks:=[1, 2]", "-p", "rate:=oops"}));
  auto node = std::make_shared<rclcpp::Node>("n", options);
  EXPECT_EQ(
    node->declare_parameter<std::vector<int64_t>>("ks", {7}), (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(node->declare_parameter<double>("gain", 0.25), 0.25);
  EXPECT_EQ(
    node->declare_parameter("names", std::vector<std::string>{"a"}),
    (std::vector<std::string>{"a"}));
  try {
    node->declare_parameter<double>("rate", 1.0);
    FAIL() << "expected InvalidParameterTypeException";
  } catch (const rclcpp::exceptions::InvalidParameterTypeException & e) {
    EXPECT_STREQ(
      e.what(),
      "parameter 'rate' has invalid type: Wrong parameter type, parameter {rate} is of type "
      "{double}, setting it to {string} is not allowed.");
  }
  EXPECT_THROW(
    node->declare_parameter<double>("gain", 1.0),
    rclcpp::exceptions::ParameterAlreadyDeclaredException);
  EXPECT_THROW(
    node->declare_parameter<int64_t>("unset"),
    rclcpp::exceptions::UninitializedStaticallyTypedParameterException);
}

TEST(ParameterDeclaration, SettingKeepsStaticTypesAndRequiresDeclaration)
{
  auto node = std::make_shared<rclcpp::Node>("n", options_for(make_context()));
  node->declare_parameter("count", 3);
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("count", 4)).successful);
  EXPECT_EQ(node->get_parameter("count").as_int(), 4);
  const auto result = node->set_parameter(rclcpp::Parameter("count", "four"));
  EXPECT_FALSE(result.successful);
  EXPECT_EQ(
    result.reason,
    "Wrong parameter type, parameter {count} is of type {integer}, setting it to {string} is "
    "not allowed.");
  try {
    node->set_parameter(rclcpp::Parameter("other", 1));
    FAIL() << "expected ParameterNotDeclaredException";
  } catch (const rclcpp::exceptions::ParameterNotDeclaredException & e) {
    EXPECT_STREQ(e.what(), "parameter 'other' cannot be set because it was not declared");
  }
}

TEST(ParameterDeclaration, UndeclaredParametersAreDynamicWhenAllowed)
{
  auto options = options_for(make_context());
  options.allow_undeclared_parameters(true);
  auto node = std::make_shared<rclcpp::Node>("n", options);
  EXPECT_EQ(node->get_parameter("missing").get_type(), rclcpp::PARAMETER_NOT_SET);
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("x", 1)).successful);
  EXPECT_TRUE(node->set_parameter(rclcpp::Parameter("x", "now a string")).successful);
  EXPECT_EQ(node->get_parameter("x").as_string(), "now a string");
}

}  // namespace
