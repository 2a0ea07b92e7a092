// bathroom_maps [--realistic] <directory>: writes the maps of the three scene
// states, named as arm_location_node looks for them. With --realistic they
// are fused from noisy frames as a mapping run makes them, which takes a few
// seconds each.

#include <filesystem>
#include <iostream>
#include <string>

#include "bathroom_sim/scene_map.hpp"

int main(int argc, char ** argv)
{
  const bool realistic = argc == 3 && std::string(argv[1]) == "--realistic";
  if (argc != 2 && !realistic) {
    std::cerr << "usage: bathroom_maps [--realistic] <directory>" << std::endl;
    return 2;
  }
  const std::string directory = argv[argc - 1];
  std::error_code ec;
  if (!std::filesystem::is_directory(directory, ec)) {
    std::cerr << "bathroom_maps: " << directory << " is not a directory" << std::endl;
    return 1;
  }
  std::string problem;
  const auto fidelity =
    realistic ? bathroom_sim::Fidelity::Realistic : bathroom_sim::Fidelity::Clean;
  if (!bathroom_sim::writeMaps(directory, problem, fidelity)) {
    std::cerr << "bathroom_maps: " << problem << std::endl;
    return 1;
  }
  for (bathroom_sim::SceneState state : bathroom_sim::allSceneStates()) {
    std::cout << directory << "/" << bathroom_sim::mapFileName(state) << std::endl;
  }
  return 0;
}
