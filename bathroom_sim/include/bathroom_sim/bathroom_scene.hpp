#ifndef BATHROOM_SIM__BATHROOM_SCENE_HPP_
#define BATHROOM_SIM__BATHROOM_SCENE_HPP_

#include <optional>
#include <string>
#include <vector>

#include <Eigen/Geometry>

#include "bathroom_sim/solid.hpp"

namespace bathroom_sim
{

// The toilet's states, named as the node's map catalogue names them.
enum class SceneState {AllClose, AllOpen, CoverOpen};

std::optional<SceneState> parseSceneState(const std::string & name);
std::string sceneStateName(SceneState state);
const std::vector<SceneState> & allSceneStates();

// How much of the bathroom there is: the corner around the toilet alone, or
// the whole room a real camera sees beyond it (more wall, floor farther out,
// a vanity, a mirror, a cabinet and a door).
enum class Room {Corner, Whole};

// A small bathroom in the arm's base frame (metres, z up, floor at z = 0): a
// back wall at x = 0, a side wall at y = -0.6, and a toilet against the back
// wall: tank, pedestal, bowl, and a seat and lid hinged behind the bowl.
class Scene
{
public:
  explicit Scene(SceneState state, Room room = Room::Corner);

  // Puts one more thing into the room, such as clutter no map holds.
  void add(const Solid & solid);

  // Nearest surface along a unit ray.
  std::optional<Hit> intersect(const Eigen::Vector3d & origin, const Eigen::Vector3d & direction) const;
  bool contains(const Eigen::Vector3d & point) const;

private:
  std::vector<Solid> solids;
};

}  // namespace bathroom_sim

#endif  // BATHROOM_SIM__BATHROOM_SCENE_HPP_
