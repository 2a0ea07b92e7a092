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

Scene::Scene(SceneState state)
{
  using Eigen::Vector3d;
  solids.push_back(Solid::box(at(0.6, 0, -0.01), Vector3d(1.6, 1.6, 0.02), kTiles));  // floor
  solids.push_back(Solid::box(at(-0.01, 0, 0.6), Vector3d(0.02, 1.6, 1.2), kWhite));  // back wall
  solids.push_back(Solid::box(at(0.6, -0.61, 0.6), Vector3d(1.6, 0.02, 1.2), kWhite));  // side wall

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
