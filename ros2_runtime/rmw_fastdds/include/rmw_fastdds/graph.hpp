// This participant's share of the ROS graph: its nodes and the gids of their
// readers and writers, announced on "ros_discovery_info" the way
// rmw_dds_common does, so ROS 2 tools can name our nodes and endpoints.
#ifndef RMW_FASTDDS__GRAPH_HPP_
#define RMW_FASTDDS__GRAPH_HPP_

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rmw_fastdds/gid.hpp"

namespace rmw_fastdds
{

class Writer;

class Graph
{
public:
  Graph(std::shared_ptr<Writer> writer, const Gid & participant_gid);

  // Each call republishes the whole participant's entities.
  size_t add_node(const std::string & node_namespace, const std::string & node_name);
  void remove_node(size_t node);
  void add_reader(size_t node, const Gid & gid);
  void remove_reader(size_t node, const Gid & gid);
  void add_writer(size_t node, const Gid & gid);
  void remove_writer(size_t node, const Gid & gid);

private:
  struct NodeEntities
  {
    std::string node_namespace;
    std::string node_name;
    std::vector<Gid> readers;
    std::vector<Gid> writers;
  };

  void change_endpoints(
    size_t node, std::vector<Gid> NodeEntities::* endpoints, const Gid & gid, bool add);
  void publish_locked();

  std::shared_ptr<Writer> writer_;
  Gid participant_gid_;
  std::mutex mutex_;
  size_t next_node_ = 0;
  std::map<size_t, NodeEntities> nodes_;
};

}  // namespace rmw_fastdds

#endif  // RMW_FASTDDS__GRAPH_HPP_
