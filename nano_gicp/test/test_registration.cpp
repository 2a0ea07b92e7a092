// The engine as the node drives it: inputs, covariances, align, results.

#include <gtest/gtest.h>

#include <nano_gicp/nano_gicp.hpp>
#include <nano_gicp/optimizer.hpp>
#include <nano_gicp/termination_criteria.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "scene.hpp"

namespace
{

using Cloud = pcl::PointCloud<pcl::PointXYZI>;
using Engine = nano_gicp::NanoGICP<pcl::PointXYZI, pcl::PointXYZI>;

class Registration : public ::testing::Test
{
protected:
  void SetUp() override
  {
    engine.setNumThreads(2);
    engine.setCorrespondenceRandomness(10);
    engine.setMaximumIterations(100);
    engine.setMaxCorrespondenceDistance(1.2);
    engine.setTransformationEpsilon(1e-8);
    engine.setEuclideanFitnessEpsilon(1e-8);
  }

  // The node's sequence of calls for one request.
  bool request(const Cloud::ConstPtr & source, const Cloud::ConstPtr & target,
    const Eigen::Matrix4f & guess = Eigen::Matrix4f::Identity())
  {
    engine.setInputSource(source);
    engine.calculateSourceCovariances();
    engine.setInputTarget(target);
    engine.calculateTargetCovariances();
    engine.align(aligned, guess);
    return engine.hasConverged();
  }

  void expect_rigid(const Eigen::Matrix4f & T)
  {
    ASSERT_TRUE(T.allFinite());
    const Eigen::Matrix3f R = T.topLeftCorner<3, 3>();
    EXPECT_NEAR((R * R.transpose() - Eigen::Matrix3f::Identity()).norm(), 0.0f, 1e-6f);
    EXPECT_NEAR(R.determinant(), 1.0f, 1e-6f);
    EXPECT_EQ(T.row(3), Eigen::RowVector4f(0, 0, 0, 1));
  }

  Engine engine;
  Cloud aligned;
};

// 7200 points, too few to take the first steps on a sample of them, and
// 28800, which do.
constexpr double kSpacings[] = {0.01, 0.005};

TEST_F(Registration, RecoversKnownTransformsOfSeveralSizes)
{
  const struct {double deg; Eigen::Vector3d axis; Eigen::Vector3d t;} cases[] = {
    {1.0, {0, 0, 1}, {0.01, 0.0, 0.0}},
    {3.0, {1, 2, 0.5}, {0.03, -0.02, 0.01}},
    {5.0, {-1, 0.3, 1}, {-0.05, 0.06, 0.04}},
    {10.0, {0.2, -1, 0.4}, {0.08, 0.05, -0.06}},
  };
  for (double spacing : kSpacings) {
    const Cloud::Ptr target = make_scene(spacing);
    for (const auto & c : cases) {
      const Eigen::Matrix4f truth = make_transform(c.deg, c.axis, c.t);
      EXPECT_TRUE(request(displaced(*target, truth), target)) << spacing << " " << c.deg;
      const Eigen::Matrix4f T = engine.getFinalTransformation();
      expect_rigid(T);
      EXPECT_LT(rotation_error_deg(T, truth), 1e-3) << spacing << " " << c.deg;
      EXPECT_LT(translation_error(T, truth), 1e-5) << spacing << " " << c.deg;
      EXPECT_LT(engine.getIterations(), 30) << spacing << " " << c.deg;
    }
  }
}

TEST_F(Registration, CountsThePassesOverTheSampleWithinTheIterationLimit)
{
  const Cloud::Ptr target = make_scene(0.005);
  const Eigen::Matrix4f truth = make_transform(10.0, {0.2, -1, 0.4}, {0.08, 0.05, -0.06});
  const Cloud::Ptr source = displaced(*target, truth);
  EXPECT_TRUE(request(source, target));
  const int needed = engine.getIterations();
  ASSERT_GT(needed, 3);
  for (int limit : {1, 2, 3, needed - 1}) {
    engine.setMaximumIterations(limit);
    EXPECT_FALSE(request(source, target)) << limit;
    EXPECT_EQ(engine.getIterations(), limit);
    expect_rigid(engine.getFinalTransformation());
  }
  engine.setMaximumIterations(needed);
  EXPECT_TRUE(request(source, target));
  EXPECT_LT(translation_error(engine.getFinalTransformation(), truth), 1e-5);
}

TEST_F(Registration, MovesTheSourceByTheFinalTransformationIntoTheOutput)
{
  const Cloud::Ptr target = make_scene(0.01);
  const Cloud::Ptr source = displaced(*target, make_transform(3.0, {0, 1, 1}, {0.02, 0.0, -0.01}));
  request(source, target);
  const Eigen::Matrix4f T = engine.getFinalTransformation();
  ASSERT_EQ(aligned.size(), source->size());
  for (std::size_t i = 0; i < source->size(); i += 97) {
    const Eigen::Vector3f expected = (T * (*source)[i].getVector4fMap()).head<3>();
    EXPECT_NEAR((aligned[i].getVector3fMap() - expected).norm(), 0.0f, 1e-6f);
    EXPECT_NEAR(aligned[i].getVector3fMap().x(), (*target)[i].x, 1e-4f);
  }
}

TEST_F(Registration, LeavesAnAlignedCloudWhereItIsAndConverges)
{
  const Cloud::Ptr target = make_scene(0.01);
  const Cloud::Ptr source(new Cloud(*target));
  EXPECT_TRUE(request(source, target));
  EXPECT_TRUE(engine.getFinalTransformation().isIdentity(1e-6f));
  EXPECT_LE(engine.getIterations(), 3);  // a pass with each kernel, and one more at most
  EXPECT_NEAR(engine.getFitnessScore(), 0.0, 1e-12);
}

TEST_F(Registration, RecoversFromAGuessThatIsALargeRotation)
{
  const Cloud::Ptr target = make_scene(0.01);
  const Eigen::Matrix4f truth = make_transform(150.0, {1, -2, 3}, {0.3, -0.2, 0.5});
  const Eigen::Matrix4f guess = truth * make_transform(2.0, {1, 1, 0}, {0.02, 0.0, 0.01});
  EXPECT_TRUE(request(displaced(*target, truth), target, guess));
  const Eigen::Matrix4f T = engine.getFinalTransformation();
  expect_rigid(T);
  EXPECT_LT(rotation_error_deg(T, truth), 1e-3);
  EXPECT_LT(translation_error(T, truth), 1e-5);
}

TEST_F(Registration, GivesTheSameResultOnAnyThreadCount)
{
  for (double spacing : kSpacings) {
    const Cloud::Ptr target = make_scene(spacing);
    const Cloud::Ptr source =
      displaced(*target, make_transform(4.0, {1, 0, 1}, {0.03, 0.03, 0.0}));
    std::vector<Eigen::Matrix4f> results;
    std::vector<double> scores;
    for (int threads : {1, 2, 3, 0}) {
      engine.setNumThreads(threads);
      EXPECT_TRUE(request(source, target)) << spacing << " " << threads;
      results.push_back(engine.getFinalTransformation());
      scores.push_back(engine.getFitnessScore());
    }
    for (std::size_t i = 1; i < results.size(); i++) {
      EXPECT_EQ(results[i], results.front()) << spacing << " " << i;
      EXPECT_EQ(scores[i], scores.front()) << spacing << " " << i;
    }
  }
}

TEST_F(Registration, EndsNoEarlierForALargeFitnessEpsilon)
{
  // As pcl's GICP, the pairs' mean squared distance does not end the
  // iterations: on noisy data it settles long before the pose does.
  const Cloud::Ptr target = make_scene(0.01);
  const Eigen::Matrix4f truth = make_transform(3.0, {1, 2, 0.5}, {0.03, 0.0, 0.0});
  const Cloud::Ptr source = displaced(*target, truth);
  EXPECT_TRUE(request(source, target));
  const int iterations = engine.getIterations();
  engine.setEuclideanFitnessEpsilon(1.0);
  EXPECT_TRUE(request(source, target));
  EXPECT_EQ(engine.getIterations(), iterations);
  EXPECT_LT(translation_error(engine.getFinalTransformation(), truth), 1e-5);
}

// A map fused from many scans holds its surfaces some millimetres thick,
// and a depth frame is noisier still: from any start around the truth the
// engine must end at one pose, the one the surfaces agree on.
TEST_F(Registration, EndsAtOnePoseFromEveryStartOnNoisyThickSurfaces)
{
  const Cloud::Ptr scene = make_scene(0.005);
  Cloud::Ptr target = noisy(*scene, 0.0015, 1);
  *target += *noisy(*scene, 0.0015, 2);
  const Eigen::Matrix4f truth = make_transform(0.0, {0, 0, 1}, {0.0, 0.0, 0.0});
  const Cloud::Ptr in_place = noisy(*scene, 0.002, 3);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> any(-1.0, 1.0);
  std::vector<Eigen::Matrix4f> answers;
  for (int start = 0; start < 6; start++) {
    const Eigen::Vector3d axis(any(rng), any(rng), any(rng));
    const Eigen::Vector3d direction(any(rng), any(rng), any(rng));
    const Eigen::Matrix4f offset = make_transform(3.0, axis, 0.03 * direction.normalized());
    request(displaced(*in_place, offset), target);
    answers.push_back(engine.getFinalTransformation() * offset.inverse());
  }
  for (const Eigen::Matrix4f & answer : answers) {
    EXPECT_LT(translation_error(answer, answers.front()), 2e-4);
    EXPECT_LT(rotation_error_deg(answer, answers.front()), 0.01);
    EXPECT_LT(translation_error(answer, truth), 1e-3);
    EXPECT_LT(rotation_error_deg(answer, truth), 0.05);
  }
}

// What the map does not hold, a bucket in front of a wall, must not pull
// the pose towards it.
TEST_F(Registration, LeavesOutPointsTheTargetDoesNotHold)
{
  const Cloud::Ptr target = make_scene(0.005);
  Cloud::Ptr seen(new Cloud(*target));
  for (int i = 0; i < 60; i++) {
    for (int j = 0; j < 60; j++) {
      // a 6 x 6 cm block face 4 cm in front of the first corner's floor
      pcl::PointXYZI p;
      p.x = 0.05f + 0.001f * i;
      p.y = 0.05f + 0.001f * j;
      p.z = 0.04f;
      seen->push_back(p);
    }
  }
  const Eigen::Matrix4f truth = make_transform(2.0, {1, 0, 1}, {0.02, -0.01, 0.01});
  EXPECT_TRUE(request(displaced(*seen, truth), target));
  // in a plain least-squares cost the block moves the pose by millimetres
  EXPECT_LT(translation_error(engine.getFinalTransformation(), truth), 5e-4);
  EXPECT_LT(rotation_error_deg(engine.getFinalTransformation(), truth), 0.03);
}

TEST_F(Registration, GivesTheSamePoseWhateverTheOrderOfThePoints)
{
  const Cloud::Ptr target = make_scene(0.01);
  const Cloud::Ptr source = displaced(*target, make_transform(4.0, {1, 0, 1}, {0.03, 0.03, 0.0}));
  EXPECT_TRUE(request(source, target));
  const Eigen::Matrix4f in_order = engine.getFinalTransformation();
  const double score = engine.getFitnessScore();

  std::mt19937 rng(11);
  const Cloud::Ptr shuffled_source(new Cloud(*source));
  const Cloud::Ptr shuffled_target(new Cloud(*target));
  std::shuffle(shuffled_source->begin(), shuffled_source->end(), rng);
  std::shuffle(shuffled_target->begin(), shuffled_target->end(), rng);
  EXPECT_TRUE(request(shuffled_source, shuffled_target));
  EXPECT_LT((engine.getFinalTransformation() - in_order).cwiseAbs().maxCoeff(), 1e-5f);
  EXPECT_NEAR(engine.getFitnessScore(), score, 1e-6 * score);
  // the output keeps the order of the source handed in
  ASSERT_EQ(aligned.size(), shuffled_source->size());
  const Eigen::Vector3f first = engine.getFinalTransformation().topLeftCorner<3, 3>() *
    (*shuffled_source)[0].getVector3fMap() + engine.getFinalTransformation().topRightCorner<3, 1>();
  EXPECT_LT((aligned[0].getVector3fMap() - first).norm(), 1e-6f);
}

TEST_F(Registration, RecoversTransformsWithEveryRegularizationMethod)
{
  using nano_gicp::RegularizationMethod;
  EXPECT_EQ(static_cast<int>(RegularizationMethod::PLANE), 0);
  const Cloud::Ptr target = make_scene(0.01);
  const Eigen::Matrix4f truth = make_transform(3.0, {1, 1, 1}, {0.03, -0.01, 0.02});
  for (auto method : {RegularizationMethod::PLANE, RegularizationMethod::MIN_EIG,
      RegularizationMethod::NORMALIZED_MIN_EIG, RegularizationMethod::FROBENIUS,
      RegularizationMethod::NONE})
  {
    engine.setRegularizationMethod(method);
    request(displaced(*target, truth), target);
    const Eigen::Matrix4f T = engine.getFinalTransformation();
    expect_rigid(T);
    EXPECT_LT(rotation_error_deg(T, truth), 1e-2) << static_cast<int>(method);
    EXPECT_LT(translation_error(T, truth), 1e-4) << static_cast<int>(method);
  }
}

TEST_F(Registration, AlignsAgainstATargetChangedInPlace)
{
  const Cloud::Ptr target = make_scene(0.01);
  const Eigen::Matrix4f truth = make_transform(2.0, {0, 0, 1}, {0.02, 0.0, 0.0});
  const Cloud::Ptr source = displaced(*target, truth);
  request(source, target);
  // the same map object, every point moved: its old preparation must not serve
  const Eigen::Matrix4f shift = make_transform(0.0, {0, 0, 1}, {0.0, 0.04, 0.0});
  pcl::transformPointCloud(*target, *target, shift);
  EXPECT_TRUE(request(source, target));
  const Eigen::Matrix4f T = engine.getFinalTransformation();
  EXPECT_LT(rotation_error_deg(T, shift * truth), 1e-3);
  EXPECT_LT(translation_error(T, shift * truth), 1e-5);
}

class FitnessScore : public Registration {};

TEST_F(FitnessScore, IsTheMeanSquaredDistanceToTheNearestTargetPoint)
{
  // target: a 5 x 5 grid of 0.1 m on z = 0
  const Cloud::Ptr target(new Cloud);
  for (int i = 0; i < 5; i++) {
    for (int j = 0; j < 5; j++) {
      pcl::PointXYZI p;
      p.x = 0.1f * i;
      p.y = 0.1f * j;
      p.z = 0.0f;
      target->push_back(p);
    }
  }
  const Cloud::Ptr source(new Cloud);
  for (const auto & xyz : {Eigen::Vector3f(0.02f, 0.01f, 0.03f),
      Eigen::Vector3f(0.21f, 0.3f, -0.04f), Eigen::Vector3f(0.5f, 0.4f, 0.0f)})
  {
    pcl::PointXYZI p;
    p.getVector3fMap() = xyz;
    source->push_back(p);
  }
  engine.setInputSource(source);
  engine.setInputTarget(target);
  // nearest: (0,0,0), (0.2,0.3,0), (0.4,0.4,0)
  const double d0 = 0.02 * 0.02 + 0.01 * 0.01 + 0.03 * 0.03;
  const double d1 = 0.01 * 0.01 + 0.04 * 0.04;
  const double d2 = 0.1 * 0.1;
  EXPECT_NEAR(engine.getFitnessScore(), (d0 + d1 + d2) / 3.0, 1e-7);
  // as pcl::Registration, the range bounds the squared distance
  EXPECT_NEAR(engine.getFitnessScore(0.005), (d0 + d1) / 2.0, 1e-7);
  EXPECT_EQ(engine.getFitnessScore(1e-6), std::numeric_limits<double>::max());
  // the inlier fraction bounds the distance itself: 0.0374, 0.0412 and 0.1 m
  EXPECT_DOUBLE_EQ(engine.getInlierFraction(0.038), 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(engine.getInlierFraction(0.05), 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(engine.getInlierFraction(0.1001), 1.0);
  EXPECT_DOUBLE_EQ(engine.getInlierFraction(0.01), 0.0);
}

TEST_F(FitnessScore, MeasuresTheSourceMovedByTheFinalTransformation)
{
  const Cloud::Ptr target = make_scene(0.01);
  const Cloud::Ptr source = displaced(*target, make_transform(0.0, {0, 0, 1}, {0.0, 0.0, 0.002}));
  engine.setInputSource(source);
  engine.setInputTarget(target);
  // before any alignment the final transformation is the identity
  EXPECT_NEAR(engine.getFitnessScore(), 0.002 * 0.002, 1e-9);
  // and stays so when align may not iterate
  engine.setMaximumIterations(0);
  EXPECT_FALSE(request(source, target));
  EXPECT_TRUE(engine.getFinalTransformation().isIdentity());
  EXPECT_NEAR(engine.getFitnessScore(), 0.002 * 0.002, 1e-9);
  engine.setMaximumIterations(100);
  request(source, target);
  EXPECT_NEAR(engine.getFitnessScore(), 0.0, 1e-10);
}

TEST_F(FitnessScore, AfterAlignMatchesAnExhaustiveSearchAtTheFinalPose)
{
  // the source sampled on another grid than the target, so distances stay;
  // the second source is large enough to take its first steps on a sample
  const struct {double target, source;} spacings[] = {{0.02, 0.03}, {0.01, 0.0075}};
  for (const auto & spacing : spacings) {
    const Cloud::Ptr target = make_scene(spacing.target);
    const Cloud::Ptr source = displaced(*make_scene(spacing.source),
        make_transform(2.0, {1, 0, 0}, {0.01, 0.02, 0.0}));
    request(source, target);
    Cloud moved;
    pcl::transformPointCloud(*source, moved, engine.getFinalTransformation());
    std::vector<double> nearest;
    for (const auto & p : moved) {
      double best = std::numeric_limits<double>::max();
      for (const auto & q : *target) {
        best =
          std::min(best, (p.getVector3fMap() - q.getVector3fMap()).cast<double>().squaredNorm());
      }
      nearest.push_back(best);
    }
    for (double max_range : {std::numeric_limits<double>::max(), 5e-5}) {
      double sum = 0.0;
      int count = 0;
      for (double d : nearest) {
        if (d <= max_range) {
          sum += d;
          count++;
        }
      }
      ASSERT_GT(count, 0);
      EXPECT_NEAR(engine.getFitnessScore(max_range), sum / count, 1e-9) <<
        spacing.source << " " << max_range;
      if (max_range < 1.0) {
        EXPECT_NEAR(
          engine.getInlierFraction(std::sqrt(max_range)),
          static_cast<double>(count) / static_cast<double>(nearest.size()), 1e-3) <<
          spacing.source;
      }
    }
  }
}

class UnusableInput : public Registration
{
protected:
  void expect_guess_kept(const Eigen::Matrix4f & guess)
  {
    EXPECT_FALSE(engine.hasConverged());
    EXPECT_EQ(engine.getFinalTransformation(), guess);
  }
  const Eigen::Matrix4f guess = make_transform(10.0, {0, 0, 1}, {0.1, 0.2, 0.3});
};

TEST_F(UnusableInput, EmptySourceKeepsTheGuessAndScoresTheLargestDouble)
{
  const Cloud::Ptr target = make_scene(0.02);
  const Cloud::Ptr empty(new Cloud);
  engine.setInputSource(empty);
  EXPECT_FALSE(engine.calculateSourceCovariances());
  engine.setInputTarget(target);
  EXPECT_TRUE(engine.calculateTargetCovariances());
  engine.align(aligned, guess);
  expect_guess_kept(guess);
  EXPECT_TRUE(aligned.empty());
  EXPECT_EQ(engine.getFitnessScore(), std::numeric_limits<double>::max());
  EXPECT_EQ(engine.getInlierFraction(1.0), 0.0);
}

TEST_F(UnusableInput, EmptyOrTooSmallTargetKeepsTheGuess)
{
  const Cloud::Ptr source = make_scene(0.02);
  const Cloud::Ptr tiny(new Cloud);
  for (int i = 0; i < 9; i++) {
    pcl::PointXYZI p;
    p.x = 0.01f * i;
    tiny->push_back(p);
  }
  for (const Cloud::Ptr & target : {Cloud::Ptr(new Cloud), tiny}) {
    engine.setInputSource(source);
    EXPECT_TRUE(engine.calculateSourceCovariances());
    engine.setInputTarget(target);
    EXPECT_FALSE(engine.calculateTargetCovariances()) << target->size();
    engine.align(aligned, guess);
    expect_guess_kept(guess);
    EXPECT_EQ(aligned.size(), source->size());
  }
}

TEST_F(UnusableInput, SourceWithFewerPointsThanNeighboursKeepsTheGuess)
{
  const Cloud::Ptr target = make_scene(0.02);
  const Cloud::Ptr tiny(new Cloud(*target, pcl::Indices{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  engine.setInputSource(tiny);
  EXPECT_FALSE(engine.calculateSourceCovariances());
  engine.setInputTarget(target);
  engine.calculateTargetCovariances();
  engine.align(aligned, guess);
  expect_guess_kept(guess);
}

TEST_F(UnusableInput, NonFinitePointKeepsTheGuess)
{
  const Cloud::Ptr target = make_scene(0.02);
  const Cloud::Ptr source(new Cloud(*target));
  (*source)[5].y = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(request(source, target, guess));
  expect_guess_kept(guess);
  EXPECT_FALSE(request(target, source, guess));
  expect_guess_kept(guess);
}

TEST_F(UnusableInput, NonFiniteGuessLeavesTheIdentity)
{
  const Cloud::Ptr target = make_scene(0.02);
  Eigen::Matrix4f nan_guess = guess;
  nan_guess(0, 3) = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(request(Cloud::Ptr(new Cloud(*target)), target, nan_guess));
  EXPECT_TRUE(engine.getFinalTransformation().isIdentity());
  EXPECT_TRUE(aligned[0].getVector3fMap().allFinite());
}

TEST_F(UnusableInput, MissingInputsKeepTheGuessWithoutAnyCall)
{
  engine.align(aligned, guess);
  expect_guess_kept(guess);
  EXPECT_EQ(engine.getFitnessScore(), std::numeric_limits<double>::max());
}

TEST_F(UnusableInput, AfterAConvergedRequestAnUnusableOneReportsNoConvergence)
{
  const Cloud::Ptr target = make_scene(0.02);
  ASSERT_TRUE(request(Cloud::Ptr(new Cloud(*target)), target));
  EXPECT_FALSE(request(Cloud::Ptr(new Cloud), target, guess));
  expect_guess_kept(guess);
}

TEST(PointTypes, AlignsPointXYZClouds)
{
  using CloudXYZ = pcl::PointCloud<pcl::PointXYZ>;
  const CloudXYZ::Ptr target = make_scene<pcl::PointXYZ>(0.01);
  const Eigen::Matrix4f truth = make_transform(3.0, {0, 1, 0}, {0.0, 0.03, 0.0});
  nano_gicp::NanoGICP<pcl::PointXYZ, pcl::PointXYZ> engine;
  engine.setMaximumIterations(50);
  engine.setInputSource(displaced(*target, truth));
  engine.setInputTarget(target);
  CloudXYZ aligned;
  engine.align(aligned);
  EXPECT_TRUE(engine.hasConverged());
  EXPECT_LT(translation_error(engine.getFinalTransformation(), truth), 1e-5);
}

// The stop judges how far the pose still is from where the steps end, not
// how short the last step was: on real depth data steps of hundredths of a
// millimetre can still have half a millimetre to go.
TEST(TerminationCriteria, StopsWithinATenthOfAMillimetreOfWhereTheStepsEnd)
{
  const nano_gicp::TerminationCriteria criteria{1e-8};
  const double none = std::numeric_limits<double>::infinity();
  for (const int axis : {0, 3}) {  // a rotation, a translation
    SCOPED_TRACE(axis);
    auto step = [axis](double length) {
        Eigen::Matrix<double, 6, 1> delta = Eigen::Matrix<double, 6, 1>::Zero();
        delta(axis) = length;
        return delta;
      };
    // 50 um steps shrinking by a tenth each have 0.5 mm to go, by two
    // thirds 75 um
    EXPECT_FALSE(criteria.settled(step(50e-6), 50e-6 / 0.9));
    EXPECT_TRUE(criteria.settled(step(50e-6), 150e-6));
    // a first step has no ratio to judge it by
    EXPECT_FALSE(criteria.settled(step(50e-6), none));
    // steps that stop shrinking are re-matching's noise once within the tenth
    EXPECT_TRUE(criteria.settled(step(50e-6), 40e-6));
    EXPECT_FALSE(criteria.settled(step(150e-6), 100e-6));
    EXPECT_TRUE(criteria.converged(step(0.5e-8)));
  }
}

// A problem whose passes ask for given translation steps along x, wherever
// the pose is: what re-matching's noise looks like to the iteration.
class SteppingProblem
{
public:
  explicit SteppingProblem(std::vector<double> steps) : steps_(std::move(steps)) {}

  nano_gicp::LinearizedSystem linearize(const Eigen::Isometry3d & T) {return evaluate(T);}

  nano_gicp::LinearizedSystem evaluate(const Eigen::Isometry3d &)
  {
    nano_gicp::LinearizedSystem system;
    system.H = nano_gicp::Matrix6d::Identity();
    system.b(3) = -steps_[std::min(pass_++, steps_.size() - 1)];
    system.count = 100;
    return system;
  }

  void accept() {}

private:
  std::vector<double> steps_;
  std::size_t pass_ = 0;
};

// Steps that stop shrinking within a tenth of a millimetre end the iteration
// on the pass that shows it, however the steps are being solved; above the
// tenth they do not.
TEST(GaussNewtonOptimizer, EndsOnTheFirstStepOfNoiseWithinTheTenth)
{
  const nano_gicp::TerminationCriteria criteria{1e-8};
  SteppingProblem noise({60e-6, 70e-6, 60e-6, 70e-6});
  const nano_gicp::OptimizationResult quiet =
    nano_gicp::GaussNewtonOptimizer().optimize(noise, Eigen::Isometry3d::Identity(), 100, criteria);
  EXPECT_TRUE(quiet.converged);
  EXPECT_EQ(quiet.iterations, 2);
  EXPECT_NEAR(quiet.T.translation().x(), 130e-6, 1e-9);

  SteppingProblem swings({150e-6, 160e-6, 150e-6, 160e-6});
  const nano_gicp::OptimizationResult loud =
    nano_gicp::GaussNewtonOptimizer().optimize(swings, Eigen::Isometry3d::Identity(), 100, criteria);
  EXPECT_FALSE(loud.converged);
}

}  // namespace
