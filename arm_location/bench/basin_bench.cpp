// Basin consistency: from many TF guesses around one depth frame, where does
// the node's registration end? Each benchmark view of the simulated bathroom
// goes through the node's own steps (back-projection, 5 mm thinning, the TF
// move, the engine with the node's settings) against its state's map, from
// random starts at a fixed distance and angle from the truth. The spread of
// the answers needs no truth; the simulator's truth gives their error too.
//
//   basin_bench [--clean] [--open3d] [--load] [--starts N] [--threads T] [--view NAME]...
//
// --clean runs the clean scene and maps instead of the realistic ones.
// --load times instead the requests of one view (the first named, else the
// first) from the 3 cm / 3 deg starts, with the engine on 1 thread, on every
// core, and on the cores other programs leave idle (the node's setting),
// each alone on the machine and beside a CPU-bound process on the last core,
// and how much of that process's core the requests took.
// --open3d, where Open3D is installed (nano_gicp/bench/run.sh installs it),
// runs its Generalized-ICP from the same starts with the same neighbours,
// plane regularization and 1.2 m, as a reference for where the iterations
// should end; it takes seconds a request.

#include <omp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <Eigen/Geometry>
#include <pcl/common/transforms.h>

#include "bathroom_sim/benchmark_views.hpp"
#include "bathroom_sim/fidelity.hpp"
#include "nano_gicp/nano_gicp.hpp"
#include "bathroom_requests.hpp"
#include "busy_process.hpp"

#ifdef WITH_OPEN3D
#include <open3d/geometry/PointCloud.h>
#include <open3d/pipelines/registration/GeneralizedICP.h>
#endif

namespace
{

using bathroom_requests::angleDeg;
using bathroom_requests::Cloud;
using bathroom_requests::cameraCloud;
using bathroom_requests::configure;
using bathroom_requests::locate;
using bathroom_requests::Outcome;
using bathroom_requests::randomError;
using bathroom_requests::stateMap;

struct Options
{
  bathroom_sim::Fidelity fidelity = bathroom_sim::Fidelity::Realistic;
  bool open3d = false;
  bool load = false;
  int starts = 20;
  int threads = 2;
  std::vector<std::string> views;
};

double median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

double maximum(const std::vector<double> & v)
{
  return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
}

#ifdef WITH_OPEN3D
open3d::geometry::PointCloud toOpen3d(const Cloud & cloud)
{
  open3d::geometry::PointCloud result;
  for (const auto & p : cloud) {
    result.points_.push_back(p.getVector3fMap().cast<double>());
  }
  result.EstimateCovariances(open3d::geometry::KDTreeSearchParamKNN(10));
  return result;
}

// The same request through Open3D, which runs until the fitness and the
// error change by less than a millionth; it reports no iteration count.
Outcome locateOpen3d(
  const Cloud & inPlace, const open3d::geometry::PointCloud & map, const Eigen::Isometry3d & truth,
  const Eigen::Isometry3d & error)
{
  Cloud placed;
  pcl::transformPointCloud(inPlace, placed, error.matrix().cast<float>());
  const auto start = std::chrono::steady_clock::now();
  const auto result = open3d::pipelines::registration::RegistrationGeneralizedICP(
    toOpen3d(placed), map, 1.2, Eigen::Matrix4d::Identity(),
    open3d::pipelines::registration::TransformationEstimationForGeneralizedICP(),
    open3d::pipelines::registration::ICPConvergenceCriteria(1e-6, 1e-6, 100));
  const double seconds =
    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return {Eigen::Isometry3d(result.transformation_) * error * truth, 0, seconds,
    result.inlier_rmse_ * result.inlier_rmse_, result.fitness_};
}
#endif

// Spread of the answers about their median position and their medoid
// rotation, and their error against the truth.
void report(
  const std::string & view, const char * start, const char * engine, std::size_t points,
  const std::vector<Outcome> & outcomes, const Eigen::Isometry3d & truth)
{
  std::vector<double> xs, ys, zs;
  for (const Outcome & o : outcomes) {
    xs.push_back(o.pose.translation().x());
    ys.push_back(o.pose.translation().y());
    zs.push_back(o.pose.translation().z());
  }
  const Eigen::Vector3d middle(median(xs), median(ys), median(zs));
  std::size_t medoid = 0;
  double best = 1e300;
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    std::vector<double> angles;
    for (const Outcome & o : outcomes) {
      angles.push_back(angleDeg(outcomes[i].pose.linear(), o.pose.linear()));
    }
    if (median(angles) < best) {
      best = median(angles);
      medoid = i;
    }
  }
  std::vector<double> spreadMm, spreadDeg, errorMm, errorDeg, iterations, ms, fitness, inliers;
  for (const Outcome & o : outcomes) {
    spreadMm.push_back((o.pose.translation() - middle).norm() * 1e3);
    spreadDeg.push_back(angleDeg(o.pose.linear(), outcomes[medoid].pose.linear()));
    errorMm.push_back((o.pose.translation() - truth.translation()).norm() * 1e3);
    errorDeg.push_back(angleDeg(o.pose.linear(), truth.linear()));
    iterations.push_back(o.iterations);
    ms.push_back(o.seconds * 1e3);
    fitness.push_back(o.fitness);
    inliers.push_back(o.inliers);
  }
  std::printf(
    "%-18s %-6s %-6s %6zu  %5.2f %6.2f  %5.3f %5.3f  %5.2f %6.2f  %5.3f %5.3f  %3.0f %3.0f  "
    "%5.0f %5.0f  %8.2e %5.3f\n",
    view.c_str(), start, engine, points, median(spreadMm), maximum(spreadMm), median(spreadDeg),
    maximum(spreadDeg), median(errorMm), maximum(errorMm), median(errorDeg), maximum(errorDeg),
    median(iterations), maximum(iterations), median(ms), maximum(ms), median(fitness),
    median(inliers));
  std::fflush(stdout);
}

std::vector<Eigen::Isometry3d> randomErrors(int starts, double size)
{
  std::mt19937 rng(11);
  std::vector<Eigen::Isometry3d> errors;
  for (int s = 0; s < starts; ++s) {
    errors.push_back(randomError(rng, size / 100, size));
  }
  return errors;
}

void printLoad(const bathroom_sim::BenchmarkView & view, const Options & options)
{
  using namespace std::chrono_literals;
  const Cloud::Ptr map = stateMap(view.state, options.fidelity);
  const Cloud::Ptr inPlace = cameraCloud(view, options.fidelity);
  const Eigen::Isometry3d truth = bathroom_sim::viewPose(view);
  const std::vector<Eigen::Isometry3d> errors = randomErrors(options.starts, 3.0);
  std::printf("%s, %zu camera points against %zu map points, %d starts at 3 cm / 3 deg; the busy "
    "process on the last core\n", view.name.c_str(), inPlace->size(), map->size(), options.starts);
  std::printf("  %14s %-6s %10s %10s %18s %22s\n", "engine threads", "busy", "median ms", "max ms",
    "busy's core kept", "busy's core-ms lost/req");
  const int all = omp_get_num_procs();
  for (const int threads : {1, all, 0}) {
    const std::string label = threads == 0 ? "idle cores" : std::to_string(threads);
    for (const bool loaded : {false, true}) {
      nano_gicp::NanoGICP<pcl::PointXYZI, pcl::PointXYZI> engine;
      configure(engine, threads);
      // the map's preparation belongs to the first request of a state
      locate(engine, *inPlace, map, truth, errors.front());
      std::unique_ptr<BusyProcess> busy;
      double alone = 0.0;
      if (loaded) {
        busy = std::make_unique<BusyProcess>();
        alone = busy->rate(1000ms);
      }
      std::vector<double> ms;
      double inRequests = 0.0;
      for (const Eigen::Isometry3d & error : errors) {
        const std::uint64_t turns = busy ? busy->turns() : 0;
        const auto start = std::chrono::steady_clock::now();
        ms.push_back(1e3 * locate(engine, *inPlace, map, truth, error).seconds);
        inRequests += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (busy) {
          busy->turnsInRequests += busy->turns() - turns;
        }
      }
      std::printf("  %14s %-6s %10.1f %10.1f", label.c_str(), loaded ? "yes" : "no", median(ms),
        maximum(ms));
      if (busy) {
        const double kept = static_cast<double>(busy->turnsInRequests) / inRequests / alone;
        std::printf(" %17.0f%% %22.1f", 100 * kept, 1e3 * (1 - kept) * inRequests / errors.size());
      }
      std::printf("\n");
      std::fflush(stdout);
    }
  }
}

Options parse(int argc, char ** argv)
{
  Options options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--clean") == 0) {
      options.fidelity = bathroom_sim::Fidelity::Clean;
#ifdef WITH_OPEN3D
    } else if (std::strcmp(argv[i], "--open3d") == 0) {
      options.open3d = true;
#endif
    } else if (std::strcmp(argv[i], "--load") == 0) {
      options.load = true;
    } else if (std::strcmp(argv[i], "--starts") == 0 && i + 1 < argc) {
      options.starts = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      options.threads = std::atoi(argv[++i]);
    } else if (std::strcmp(argv[i], "--view") == 0 && i + 1 < argc) {
      options.views.push_back(argv[++i]);
    } else {
      std::fprintf(
        stderr,
        "usage: basin_bench [--clean] [--open3d] [--load] [--starts N] [--threads T] "
        "[--view NAME]...\n");
      std::exit(2);
    }
  }
  return options;
}

}  // namespace

int main(int argc, char ** argv)
{
  const Options options = parse(argc, argv);
  const bool realistic = options.fidelity == bathroom_sim::Fidelity::Realistic;
  double load = 0.0;
  getloadavg(&load, 1);
  if (options.load) {
    const std::vector<bathroom_sim::BenchmarkView> & views = bathroom_sim::benchmarkViews();
    auto view = views.begin();
    if (!options.views.empty()) {
      view = std::find_if(views.begin(), views.end(),
          [&](const bathroom_sim::BenchmarkView & v) {return v.name == options.views.front();});
    }
    if (view == views.end()) {
      std::fprintf(stderr, "basin_bench: no view %s\n", options.views.front().c_str());
      return 2;
    }
    std::printf("%s scene, %d cores, load average %.2f at start\n",
      realistic ? "realistic" : "clean", omp_get_num_procs(), load);
    printLoad(*view, options);
    return 0;
  }
  std::printf(
    "%s scene, %d starts per size, %d engine threads of %d, load average %.2f at start\n"
    "spread: distance of each answer from the median position [mm] and angle from the medoid "
    "rotation [deg]; error: against the truth; fitness: mean squared distance [m^2]; "
    "inliers: share within 15 mm of the map\n\n",
    realistic ? "realistic" : "clean", options.starts, options.threads, omp_get_num_procs(), load);
  std::printf(
    "%-18s %-6s %-6s %6s  %12s  %11s  %12s  %11s  %7s  %11s  %8s %5s\n", "view", "start",
    "engine", "points",
    "spread mm", "spread deg", "error mm", "error deg", "iter", "time ms", "fitness", "inl.");
  std::printf(
    "%-18s %-6s %-6s %6s  %5s %6s  %5s %5s  %5s %6s  %5s %5s  %3s %3s  %5s %5s\n", "", "", "",
    "",
    "med", "max", "med", "max", "med", "max", "med", "max", "med", "max", "med", "max");

  std::map<bathroom_sim::SceneState, Cloud::Ptr> maps;
#ifdef WITH_OPEN3D
  omp_set_num_threads(options.threads);
  std::map<bathroom_sim::SceneState, open3d::geometry::PointCloud> open3dMaps;
#endif
  nano_gicp::NanoGICP<pcl::PointXYZI, pcl::PointXYZI> engine;
  configure(engine, options.threads);
  for (const bathroom_sim::BenchmarkView & view : bathroom_sim::benchmarkViews()) {
    if (!options.views.empty() &&
      std::find(options.views.begin(), options.views.end(), view.name) == options.views.end())
    {
      continue;
    }
    if (!maps.count(view.state)) {
      maps[view.state] = stateMap(view.state, options.fidelity);
#ifdef WITH_OPEN3D
      if (options.open3d) {
        open3dMaps[view.state] = toOpen3d(*maps[view.state]);
      }
#endif
    }
    const Eigen::Isometry3d truth = bathroom_sim::viewPose(view);
    const Cloud::Ptr inPlace = cameraCloud(view, options.fidelity);
    for (const auto & [label, size] : {std::pair<const char *, double>{"3cm/3", 3.0}, {"6cm/6", 6.0}}) {
      const std::vector<Eigen::Isometry3d> errors = randomErrors(options.starts, size);
      std::vector<Outcome> outcomes;
      for (const Eigen::Isometry3d & error : errors) {
        outcomes.push_back(locate(engine, *inPlace, maps[view.state], truth, error));
      }
      report(view.name, label, "nano", inPlace->size(), outcomes, truth);
#ifdef WITH_OPEN3D
      if (options.open3d) {
        outcomes.clear();
        for (const Eigen::Isometry3d & error : errors) {
          outcomes.push_back(locateOpen3d(*inPlace, open3dMaps[view.state], truth, error));
        }
        report(view.name, label, "open3d", inPlace->size(), outcomes, truth);
      }
#endif
    }
  }
  return 0;
}
