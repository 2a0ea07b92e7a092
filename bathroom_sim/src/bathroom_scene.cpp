#include "bathroom_sim/bathroom_scene.hpp"

#include <cmath>

namespace bathroom_sim
{
namespace
{

constexpr double kDegree = M_PI / 180.0;

// Albedos in the near infrared of a structured-light sensor.
constexpr double kWhite = 0.8;     // wall tiles, painted plaster, the seat and lid
constexpr double kCeramic = 0.85;
constexpr double kTiles = 0.5;     // grey floor tiles
constexpr double kWood = 0.45;
constexpr double kMetal = 0.25;    // mostly specular: little comes back diffusely
constexpr double kMirror = 0.0;

Eigen::Isometry3d at(double x, double y, double z)
{
  return Eigen::Isometry3d(Eigen::Translation3d(x, y, z));
}

// Turns a part lying flat about the hinge line (parallel to y) behind the bowl.
Eigen::Isometry3d hinged(const Eigen::Isometry3d & closed, double hingeX, double hingeZ, double angle)
{
  return at(hingeX, 0, hingeZ) * Eigen::AngleAxisd(-angle, Eigen::Vector3d::UnitY()) *
         at(-hingeX, 0, -hingeZ) * closed;
}

// The whole room, 3 m deep along x, 2.4 m wide and 2.4 m high, with the
// toilet's corner at one end: beside the toilet a vanity with a basin and a
// mirror above it, a wall cabinet high on the side wall, and a door in the
// wall opposite the side wall.
std::vector<Solid> wholeRoom()
{
  using Eigen::Vector3d;
  return {
    Solid::box(at(1.5, 0.6, -0.01), Vector3d(3.04, 2.44, 0.02), kTiles),   // floor
    Solid::box(at(1.5, 0.6, 2.41), Vector3d(3.04, 2.44, 0.02), kWhite),    // ceiling
    Solid::box(at(-0.01, 0.6, 1.2), Vector3d(0.02, 2.44, 2.4), kWhite),    // back wall
    Solid::box(at(3.01, 0.6, 1.2), Vector3d(0.02, 2.44, 2.4), kWhite),     // front wall
    Solid::box(at(1.5, -0.61, 1.2), Vector3d(3.04, 0.02, 2.4), kWhite),    // side wall
    Solid::box(at(1.5, 1.81, 1.2), Vector3d(3.04, 0.02, 2.4), kWhite),     // opposite wall

    Solid::box(at(0.25, 1.15, 0.4), Vector3d(0.5, 0.6, 0.8), kWood),       // vanity
    Solid::box(at(0.275, 1.15, 0.82), Vector3d(0.55, 0.66, 0.04), kWhite),  // its top
    Solid::cylinder(at(0.28, 1.15, 0.9), 0.2, 0.12, kCeramic, 0.17),       // basin
    Solid::box(at(0.005, 1.15, 1.4), Vector3d(0.01, 0.6, 0.8), kMirror),   // mirror

    Solid::box(at(1.3, -0.45, 1.7), Vector3d(0.6, 0.3, 0.6), kWood),       // wall cabinet

    Solid::box(at(2.0, 1.7925, 1.04), Vector3d(0.96, 0.015, 2.08), kWhite),  // door casing
    Solid::box(at(2.0, 1.775, 1.0), Vector3d(0.8, 0.03, 2.0), kWood),       // door leaf
    Solid::box(at(1.7, 1.745, 1.0), Vector3d(0.14, 0.03, 0.025), kMetal),   // handle
  };
}

}  // namespace

const std::vector<SceneState> & allSceneStates()
{
  static const std::vector<SceneState> states = {
    SceneState::AllClose, SceneState::AllOpen, SceneState::CoverOpen};
  return states;
}

std::string sceneStateName(SceneState state)
{
  switch (state) {
    case SceneState::AllClose: return "all_close";
    case SceneState::AllOpen: return "all_open";
    case SceneState::CoverOpen: return "cover_open";
  }
  return {};
}

std::optional<SceneState> parseSceneState(const std::string & name)
{
  for (SceneState state : allSceneStates()) {
    if (sceneStateName(state) == name) {
      return state;
    }
  }
  return std::nullopt;
}

Scene::Scene(SceneState state, Room room)
{
  using Eigen::Vector3d;
  if (room == Room::Corner) {
    solids.push_back(Solid::box(at(0.6, 0, -0.01), Vector3d(1.6, 1.6, 0.02), kTiles));  // floor
    solids.push_back(Solid::box(at(-0.01, 0, 0.6), Vector3d(0.02, 1.6, 1.2), kWhite));  // back wall
    solids.push_back(Solid::box(at(0.6, -0.61, 0.6), Vector3d(1.6, 0.02, 1.2), kWhite));  // side wall
  } else {
    solids = wholeRoom();
  }

  // Tank, the back of the bowl, pedestal and the bowl's rim.
  solids.push_back(Solid::box(at(0.1, 0, 0.6), Vector3d(0.2, 0.44, 0.4), kCeramic));
  solids.push_back(Solid::box(at(0.21, 0, 0.19), Vector3d(0.22, 0.3, 0.38), kCeramic));
  solids.push_back(Solid::cylinder(at(0.44, 0, 0.15), 0.13, 0.3, kCeramic));
  solids.push_back(Solid::cylinder(at(0.44, 0, 0.33), 0.2, 0.1, kCeramic, 0.15));

  const bool seatUp = state == SceneState::AllOpen;
  const bool lidUp = state != SceneState::AllClose;
  // Both hinge on the line x = 0.24 at the back edge of the bowl; raised, the
  // seat stands upright and the lid leans back against the tank.
  const Eigen::Isometry3d seat = at(0.44, 0, 0.39);
  const Eigen::Isometry3d lid = at(0.44, 0, 0.4075);
  solids.push_back(Solid::cylinder(
      seatUp ? hinged(seat, 0.24, 0.40, 90 * kDegree) : seat, 0.2, 0.02, kWhite, 0.12));
  solids.push_back(Solid::cylinder(
      lidUp ? hinged(lid, 0.24, 0.415, 95 * kDegree) : lid, 0.2, 0.015, kWhite));
}

void Scene::add(const Solid & solid)
{
  solids.push_back(solid);
}

std::optional<Hit> Scene::intersect(const Eigen::Vector3d & origin, const Eigen::Vector3d & direction) const
{
  std::optional<Hit> nearest;
  for (const Solid & solid : solids) {
    std::optional<Hit> hit = solid.intersect(origin, direction);
    if (hit && (!nearest || hit->distance < nearest->distance)) {
      nearest = hit;
    }
  }
  return nearest;
}

bool Scene::contains(const Eigen::Vector3d & point) const
{
  for (const Solid & solid : solids) {
    if (solid.contains(point)) {
      return true;
    }
  }
  return false;
}

}  // namespace bathroom_sim
