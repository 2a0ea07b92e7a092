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

void erase_gid(std::vector<Gid> & gids, const Gid & gid)
{
  gids.erase(std::remove(gids.begin(), gids.end(), gid), gids.end());
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
  std::lock_guard<std::mutex> lock(mutex_);
  nodes_[node].readers.push_back(gid);
  publish_locked();
}

void Graph::remove_reader(size_t node, const Gid & gid)
{
  std::lock_guard<std::mutex> lock(mutex_);
  erase_gid(nodes_[node].readers, gid);
  publish_locked();
}

void Graph::add_writer(size_t node, const Gid & gid)
{
  std::lock_guard<std::mutex> lock(mutex_);
  nodes_[node].writers.push_back(gid);
  publish_locked();
}

void Graph::remove_writer(size_t node, const Gid & gid)
{
  std::lock_guard<std::mutex> lock(mutex_);
  erase_gid(nodes_[node].writers, gid);
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
