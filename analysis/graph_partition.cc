#include "analysis/graph_partition.h"

#include <metis.h>

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace qora {
namespace {

constexpr real_t kImbalanceTolerance = 1.1f;

// The partitioner adds edge weights in idx_t while it coarsens the graph and
// measures cuts. A cleaned graph's weights add up to at most twice the
// budget, which leaves ample room below the largest idx_t of either width.
constexpr int64_t kWeightBudget = int64_t{1} << 29;
constexpr int64_t kMaxWeight = 2 * kWeightBudget;

// The partitioner keeps its random state and error recovery in globals.
std::mutex partitioner_mutex;

bool Fail(const std::string& reason, std::string* error) {
  if (error != nullptr) *error = "graph partition: " + reason;
  return false;
}

// Empty when the adjacency of `graph` is well formed, otherwise the reason
// it is not.
std::string CheckShape(const WeightedGraph& graph) {
  const int64_t n = graph.vertex_count;
  if (n < 0) return "negative vertex count";
  if (graph.offsets.size() != static_cast<size_t>(n) + 1) return "offset count is not n + 1";
  if (graph.offsets[0] != 0) return "first offset is not 0";
  for (int64_t v = 0; v < n; ++v) {
    if (graph.offsets[v + 1] < graph.offsets[v]) return "offsets decrease";
  }
  if (graph.offsets[n] != static_cast<int64_t>(graph.neighbors.size())) {
    return "last offset is not the entry count";
  }
  if (graph.weights.size() != graph.neighbors.size()) return "weight count is not the entry count";
  for (int32_t u : graph.neighbors) {
    if (u < 0 || u >= n) return "neighbor out of range";
  }
  return std::string();
}

// Makes `*clean` the well-formed `graph` without self entries, with every
// weight in [1, kMaxWeight] and repeated entries merged. Returns the sum of
// the weights.
int64_t MergeEntries(const WeightedGraph& graph, WeightedGraph* clean) {
  const int32_t n = graph.vertex_count;
  // position_of[u] is the position of the entry v->u of the vertex v being
  // cleaned, valid when owner[u] == v.
  std::vector<size_t> position_of(static_cast<size_t>(n), 0);
  std::vector<int32_t> owner(static_cast<size_t>(n), -1);
  int64_t total = 0;
  clean->vertex_count = n;
  clean->offsets.assign(1, 0);
  for (int32_t v = 0; v < n; ++v) {
    for (int64_t i = graph.offsets[v]; i < graph.offsets[v + 1]; ++i) {
      const int32_t u = graph.neighbors[static_cast<size_t>(i)];
      if (u == v) continue;
      const int64_t weight =
          std::clamp<int64_t>(graph.weights[static_cast<size_t>(i)], 1, kMaxWeight);
      total += weight;
      if (owner[u] == v) {
        clean->weights[position_of[u]] += weight;
        continue;
      }
      owner[u] = v;
      position_of[u] = clean->neighbors.size();
      clean->neighbors.push_back(u);
      clean->weights.push_back(weight);
    }
    clean->offsets.push_back(static_cast<int64_t>(clean->neighbors.size()));
  }
  return total;
}

// True when every entry v->u of `graph`, which has no repeated entries, has
// an entry u->v of the same weight.
bool IsSymmetric(const WeightedGraph& graph) {
  auto key = [](int32_t from, int32_t to) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(from)) << 32) | static_cast<uint32_t>(to);
  };
  std::unordered_map<uint64_t, int64_t> weight_of;
  weight_of.reserve(graph.neighbors.size());
  for (int32_t v = 0; v < graph.vertex_count; ++v) {
    for (int64_t i = graph.offsets[v]; i < graph.offsets[v + 1]; ++i) {
      weight_of[key(v, graph.neighbors[static_cast<size_t>(i)])] =
          graph.weights[static_cast<size_t>(i)];
    }
  }
  for (int32_t v = 0; v < graph.vertex_count; ++v) {
    for (int64_t i = graph.offsets[v]; i < graph.offsets[v + 1]; ++i) {
      const auto back = weight_of.find(key(graph.neighbors[static_cast<size_t>(i)], v));
      if (back == weight_of.end() || back->second != graph.weights[static_cast<size_t>(i)]) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool CleanGraph(const WeightedGraph& graph, WeightedGraph* clean, std::string* error) {
  const std::string shape = CheckShape(graph);
  if (!shape.empty()) return Fail(shape, error);
  WeightedGraph result;
  const int64_t total = MergeEntries(graph, &result);
  if (!IsSymmetric(result)) return Fail("adjacency is not symmetric", error);
  if (static_cast<int64_t>(result.neighbors.size()) > kWeightBudget) {
    return Fail("too many edges", error);
  }
  // Equal weights stay equal, so the graph stays symmetric. Each scaled
  // weight is at least 1, so the sum stays within budget plus entry count.
  if (total > kWeightBudget) {
    const double factor = static_cast<double>(kWeightBudget) / static_cast<double>(total);
    for (int64_t& weight : result.weights) {
      weight = std::max<int64_t>(1, static_cast<int64_t>(static_cast<double>(weight) * factor));
    }
  }
  *clean = std::move(result);
  return true;
}

bool PartitionGraph(const WeightedGraph& graph, int parts, std::vector<int32_t>* part_of,
                    std::string* error) {
  part_of->clear();
  if (parts < 1) return Fail("fewer than one part requested", error);
  WeightedGraph clean;
  if (!CleanGraph(graph, &clean, error)) return false;

  const int32_t n = clean.vertex_count;
  if (n == 0) return true;
  const int32_t part_count = std::min<int32_t>(parts, n);
  if (part_count == 1) {
    part_of->assign(static_cast<size_t>(n), 0);
    return true;
  }

  std::vector<idx_t> xadj(clean.offsets.begin(), clean.offsets.end());
  // One spare element keeps the arrays addressable when there are no edges.
  std::vector<idx_t> adjncy(clean.neighbors.size() + 1, 0);
  std::vector<idx_t> adjwgt(clean.weights.size() + 1, 0);
  std::copy(clean.neighbors.begin(), clean.neighbors.end(), adjncy.begin());
  std::copy(clean.weights.begin(), clean.weights.end(), adjwgt.begin());

  idx_t vertex_count = n;
  idx_t constraints = 1;
  idx_t nparts = part_count;
  std::vector<real_t> target_weights(static_cast<size_t>(part_count),
                                     1.0f / static_cast<real_t>(part_count));
  real_t tolerance = kImbalanceTolerance;
  idx_t options[METIS_NOPTIONS];
  METIS_SetDefaultOptions(options);
  options[METIS_OPTION_NUMBERING] = 0;
  idx_t cut = 0;
  std::vector<idx_t> part(static_cast<size_t>(n), 0);
  int status;
  {
    std::lock_guard<std::mutex> lock(partitioner_mutex);
    status = METIS_PartGraphRecursive(
        &vertex_count, &constraints, xadj.data(), adjncy.data(), nullptr, nullptr, adjwgt.data(),
        &nparts, target_weights.data(), &tolerance, options, &cut, part.data());
  }
  if (status != METIS_OK) {
    return Fail("partitioner failed with status " + std::to_string(status), error);
  }
  for (idx_t p : part) {
    if (p < 0 || p >= part_count) return Fail("partitioner returned an invalid part", error);
  }
  part_of->assign(part.begin(), part.end());
  return true;
}

}  // namespace qora
