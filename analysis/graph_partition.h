// Splitting a weighted undirected graph into parts of about equal size joined
// by as little edge weight as possible.
#ifndef QORA_ANALYSIS_GRAPH_PARTITION_H_
#define QORA_ANALYSIS_GRAPH_PARTITION_H_

#include <cstdint>
#include <string>
#include <vector>

namespace qora {

// An undirected graph in compressed adjacency form. The edge entries of
// vertex v are at positions offsets[v] .. offsets[v + 1] - 1 of `neighbors`
// and `weights`. Every undirected edge {u, v} is given as an entry u->v and
// an entry v->u of the same weight.
struct WeightedGraph {
  int32_t vertex_count = 0;
  std::vector<int64_t> offsets;    // vertex_count + 1 positions, from 0, never decreasing.
  std::vector<int32_t> neighbors;  // Vertex numbers from 0.
  std::vector<int64_t> weights;    // One per entry of `neighbors`.
};

// Makes `*clean` the graph that PartitionGraph hands to the partitioner:
//  - entries of a vertex to itself are dropped;
//  - weights below 1 (the scaled weights of very weak edges truncate to 0)
//    are raised to 1, so that every edge given still binds its ends;
//  - several entries u->v are merged into one, at the place of the first,
//    with the sum of their weights;
//  - when the weights add up to more than 2^29, every weight w becomes
//    max(1, trunc(w * 2^29 / sum)) (a single weight counts at most 2^30), so
//    that the partitioner's integers cannot overflow.
// The entries of each vertex keep their order otherwise.
//
// Returns false, with the reason in `*error` when `error` is not null, when
// the adjacency is malformed (a negative vertex count; offsets of the wrong
// size, not starting at 0, decreasing or not ending at the entry count; a
// neighbor out of range; a weight count different from the neighbor count),
// when it is not symmetric after cleaning (an entry u->v without an entry
// v->u of the same weight), or when it has more than 2^29 entries.
bool CleanGraph(const WeightedGraph& graph, WeightedGraph* clean, std::string* error = nullptr);

// Splits `graph` into `parts` parts by multilevel recursive bisection with
// equal target sizes (every vertex weighs 1) and an imbalance tolerance of
// 1.1, minimizing the weight of the edges between parts. The graph is first
// cleaned as CleanGraph does. On success `*part_of` holds the part (from 0)
// of every vertex and true is returned.
//
// Vertices without edges are allowed. More parts than vertices are lowered
// to the vertex count, so every part number is below min(parts, vertex
// count). One part puts every vertex in part 0, and a graph without vertices
// gives an empty result; neither calls the partitioner.
//
// Returns false, with the reason in `*error` when `error` is not null and
// `*part_of` empty, when `parts` is below 1, when CleanGraph fails, or when
// the partitioner reports an error or an invalid part.
//
// Thread-safe: calls into the partitioner, whose state is global, are
// serialized. The result depends only on the graph and `parts`.
bool PartitionGraph(const WeightedGraph& graph, int parts, std::vector<int32_t>* part_of,
                    std::string* error = nullptr);

}  // namespace qora

#endif  // QORA_ANALYSIS_GRAPH_PARTITION_H_
