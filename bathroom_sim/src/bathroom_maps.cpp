// bathroom_maps <directory>: writes the maps of the three scene states, named
// as arm_location_node looks for them.

#include <filesystem>
#include <iostream>
#include <string>

#include "bathroom_sim/scene_map.hpp"

int main(int argc, char ** argv)
{
  if (argc != 2) {
    std::cerr << "usage: bathroom_maps <directory>" << std::endl;
    return 2;
  }
  const std::string directory = argv[1];
  std::error_code ec;
  if (!std::filesystem::is_directory(directory, ec)) {
    std::cerr << "bathroom_maps: " << directory << " is not a directory" << std::endl;
    return 1;
  }
  std::string problem;
  if (!bathroom_sim::writeMaps(directory, problem)) {
    std::cerr << "bathroom_maps: " << problem << std::endl;
    return 1;
  }
  for (bathroom_sim::SceneState state : bathroom_sim::allSceneStates()) {
    std::cout << directory << "/" << bathroom_sim::mapFileName(state) << std::endl;
  }
  return 0;
}
