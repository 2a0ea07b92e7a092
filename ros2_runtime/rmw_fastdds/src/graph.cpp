#include "rmw_fastdds/graph.hpp"

#include <algorithm>
#include <utility>

#include "rmw_dds_common/msg/participant_entities_info.hpp"
#include "rmw_fastdds/message_ops.hpp"
#include "rmw_fastdds/writer.hpp"

namespace rmw_fastdds
{
namespace
{

rmw_dds_common::msg::Gid to_msg(const Gid & gid)
{
  rmw_dds_common::msg::Gid msg;
  std::copy(gid.begin(), gid.end(), msg.data.begin());
  return msg;
}

}  // namespace

Graph::Graph(std::shared_ptr<Writer> writer, const Gid & participant_gid)
: writer_(std::move(writer)), participant_gid_(participant_gid)
{
  std::lock_guard<std::mutex> lock(mutex_);
  publish_locked();
}

size_t Graph::add_node(const std::string & node_namespace, const std::string & node_name)
{
  std::lock_guard<std::mutex> lock(mutex_);
  const size_t node = next_node_++;
  nodes_[node] = NodeEntities{node_namespace, node_name, {}, {}};
  publish_locked();
  return node;
}

void Graph::remove_node(size_t node)
{
  std::lock_guard<std::mutex> lock(mutex_);
  nodes_.erase(node);
  publish_locked();
}

void Graph::add_reader(size_t node, const Gid & gid)
{
  change_endpoints(node, &NodeEntities::readers, gid, true);
}

void Graph::remove_reader(size_t node, const Gid & gid)
{
  change_endpoints(node, &NodeEntities::readers, gid, false);
}

void Graph::add_writer(size_t node, const Gid & gid)
{
  change_endpoints(node, &NodeEntities::writers, gid, true);
}

void Graph::remove_writer(size_t node, const Gid & gid)
{
  change_endpoints(node, &NodeEntities::writers, gid, false);
}

void Graph::change_endpoints(
  size_t node, std::vector<Gid> NodeEntities::* endpoints, const Gid & gid, bool add)
{
  std::lock_guard<std::mutex> lock(mutex_);
  auto & gids = nodes_[node].*endpoints;
  if (add) {
    gids.push_back(gid);
  } else {
    gids.erase(std::remove(gids.begin(), gids.end(), gid), gids.end());
  }
  publish_locked();
}

void Graph::publish_locked()
{
  rmw_dds_common::msg::ParticipantEntitiesInfo info;
  info.gid = to_msg(participant_gid_);
  for (const auto & entry : nodes_) {
    rmw_dds_common::msg::NodeEntitiesInfo node;
    node.node_namespace = entry.second.node_namespace;
    node.node_name = entry.second.node_name;
    for (const auto & gid : entry.second.readers) {
      node.reader_gid_seq.push_back(to_msg(gid));
    }
    for (const auto & gid : entry.second.writers) {
      node.writer_gid_seq.push_back(to_msg(gid));
    }
    info.node_entities_info_seq.push_back(std::move(node));
  }
  writer_->write(message_ops<rmw_dds_common::msg::ParticipantEntitiesInfo>(), &info);
}

}  // namespace rmw_fastdds
