#include "analysis/graph_partition.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace qora {
namespace {

// An undirected edge and its weight.
struct Edge {
  int32_t a;
  int32_t b;
  int64_t weight;
};

// The graph of `edges` over `n` vertices, each edge given as an entry from
// each end (a self loop as two entries of its vertex), in edge order.
WeightedGraph GraphOf(int32_t n, const std::vector<Edge>& edges) {
  std::vector<std::vector<std::pair<int32_t, int64_t>>> entries(static_cast<size_t>(n));
  for (const Edge& edge : edges) {
    entries[static_cast<size_t>(edge.a)].emplace_back(edge.b, edge.weight);
    entries[static_cast<size_t>(edge.b)].emplace_back(edge.a, edge.weight);
  }
  WeightedGraph graph;
  graph.vertex_count = n;
  graph.offsets.push_back(0);
  for (const auto& list : entries) {
    for (const auto& [neighbor, weight] : list) {
      graph.neighbors.push_back(neighbor);
      graph.weights.push_back(weight);
    }
    graph.offsets.push_back(static_cast<int64_t>(graph.neighbors.size()));
  }
  return graph;
}

// Two cliques of four vertices (0-3 and 4-7) with edges of `strong` weight,
// joined by one edge 3-4 of `weak` weight.
std::vector<Edge> TwoCliques(int64_t strong, int64_t weak) {
  std::vector<Edge> edges;
  for (int32_t base : {0, 4}) {
    for (int32_t i = 0; i < 4; ++i) {
      for (int32_t j = i + 1; j < 4; ++j) edges.push_back({base + i, base + j, strong});
    }
  }
  edges.push_back({3, 4, weak});
  return edges;
}

// Expects vertices 0-3 in one part and 4-7 in another.
void ExpectCliquesApart(const std::vector<int32_t>& part_of) {
  ASSERT_EQ(part_of.size(), 8u);
  for (int32_t v = 1; v < 4; ++v) EXPECT_EQ(part_of[v], part_of[0]) << "vertex " << v;
  for (int32_t v = 5; v < 8; ++v) EXPECT_EQ(part_of[v], part_of[4]) << "vertex " << v;
  EXPECT_NE(part_of[0], part_of[4]);
  for (int32_t part : part_of) EXPECT_TRUE(part == 0 || part == 1) << part;
}

std::vector<int32_t> Partitioned(const WeightedGraph& graph, int parts) {
  std::vector<int32_t> part_of;
  std::string error;
  EXPECT_TRUE(PartitionGraph(graph, parts, &part_of, &error)) << error;
  return part_of;
}

TEST(CleanGraphTest, DropsSelfEntriesRaisesWeightsAndMergesRepeats) {
  WeightedGraph graph;
  graph.vertex_count = 3;
  // 0: ->0 (5), ->2 (0), ->1 (3), ->2 (-4), ->1 (4)
  // 1: ->0 (7), ->1 (9), ->1 (9)
  // 2: ->0 (2)
  graph.offsets = {0, 5, 8, 9};
  graph.neighbors = {0, 2, 1, 2, 1, 0, 1, 1, 0};
  graph.weights = {5, 0, 3, -4, 4, 7, 9, 9, 2};
  WeightedGraph clean;
  std::string error;
  ASSERT_TRUE(CleanGraph(graph, &clean, &error)) << error;
  EXPECT_EQ(clean.vertex_count, 3);
  EXPECT_EQ(clean.offsets, (std::vector<int64_t>{0, 2, 3, 4}));
  EXPECT_EQ(clean.neighbors, (std::vector<int32_t>{2, 1, 0, 0}));
  EXPECT_EQ(clean.weights, (std::vector<int64_t>{2, 7, 7, 2}));
}

TEST(CleanGraphTest, ScalesHugeWeightsDown) {
  // Each weight counts at most 2^30; the four entries add up to 2^31 + 2,
  // so each is scaled by 2^29 / (2^31 + 2), but not below 1.
  const WeightedGraph graph = GraphOf(3, {{0, 1, int64_t{1} << 40}, {1, 2, 1}});
  WeightedGraph clean;
  ASSERT_TRUE(CleanGraph(graph, &clean));
  EXPECT_EQ(clean.neighbors, graph.neighbors);
  const int64_t scaled = (int64_t{1} << 28) - 1;
  EXPECT_EQ(clean.weights, (std::vector<int64_t>{scaled, scaled, 1, 1}));

  // Weights within budget stay as they are.
  const WeightedGraph modest = GraphOf(3, {{0, 1, int64_t{1} << 27}, {1, 2, 1}});
  ASSERT_TRUE(CleanGraph(modest, &clean));
  EXPECT_EQ(clean.weights, modest.weights);
}

TEST(CleanGraphTest, KeepsIsolatedVertices) {
  WeightedGraph clean;
  ASSERT_TRUE(CleanGraph(GraphOf(4, {{1, 1, 3}, {2, 3, 1}}), &clean));
  EXPECT_EQ(clean.vertex_count, 4);
  EXPECT_EQ(clean.offsets, (std::vector<int64_t>{0, 0, 0, 1, 2}));
}

TEST(GraphPartitionTest, SplitsTwoCliquesAtTheirWeakLink) {
  ExpectCliquesApart(Partitioned(GraphOf(8, TwoCliques(100, 1)), 2));
}

TEST(GraphPartitionTest, ResultDependsOnlyOnTheGraph) {
  const WeightedGraph graph = GraphOf(8, TwoCliques(100, 1));
  EXPECT_EQ(Partitioned(graph, 2), Partitioned(graph, 2));
}

TEST(GraphPartitionTest, OnePartPutsEveryVertexInPartZero) {
  EXPECT_EQ(Partitioned(GraphOf(8, TwoCliques(100, 1)), 1), std::vector<int32_t>(8, 0));
  // More parts than vertices, lowered to one.
  EXPECT_EQ(Partitioned(GraphOf(1, {}), 5), std::vector<int32_t>{0});
}

TEST(GraphPartitionTest, EmptyGraphGivesEmptyResult) {
  std::vector<int32_t> part_of{7, 7};
  EXPECT_TRUE(PartitionGraph(GraphOf(0, {}), 3, &part_of));
  EXPECT_TRUE(part_of.empty());
}

TEST(GraphPartitionTest, MorePartsThanVerticesAreLoweredToTheVertexCount) {
  const std::vector<int32_t> part_of = Partitioned(GraphOf(3, {{0, 1, 5}, {1, 2, 5}}), 10);
  ASSERT_EQ(part_of.size(), 3u);
  for (int32_t part : part_of) EXPECT_LT(part, 3);
  // Three equal target sizes for three vertices: one vertex each.
  EXPECT_EQ(std::set<int32_t>(part_of.begin(), part_of.end()).size(), 3u);
}

TEST(GraphPartitionTest, SelfLoopsAreDropped) {
  std::vector<Edge> edges = TwoCliques(100, 1);
  const std::vector<int32_t> without_loops = Partitioned(GraphOf(8, edges), 2);
  for (int32_t v = 0; v < 8; ++v) edges.push_back({v, v, 1000});
  const std::vector<int32_t> with_loops = Partitioned(GraphOf(8, edges), 2);
  ExpectCliquesApart(with_loops);
  EXPECT_EQ(with_loops, without_loops);
}

TEST(GraphPartitionTest, WeightsBelowOneAreRaisedToOne) {
  const std::vector<int32_t> with_ones = Partitioned(GraphOf(8, TwoCliques(100, 1)), 2);
  const std::vector<int32_t> with_zero = Partitioned(GraphOf(8, TwoCliques(100, 0)), 2);
  const std::vector<int32_t> with_negative = Partitioned(GraphOf(8, TwoCliques(100, -5)), 2);
  ExpectCliquesApart(with_zero);
  EXPECT_EQ(with_zero, with_ones);
  EXPECT_EQ(with_negative, with_ones);

  // A graph whose weights are all 0 behaves as one whose weights are all 1.
  EXPECT_EQ(Partitioned(GraphOf(8, TwoCliques(0, 0)), 2),
            Partitioned(GraphOf(8, TwoCliques(1, 1)), 2));
}

TEST(GraphPartitionTest, RepeatedEntriesAreMerged) {
  // The clique edges given twice with half the weight each, the weak link as
  // two entries in each direction.
  std::vector<Edge> halves;
  for (const Edge& edge : TwoCliques(100, 1)) {
    if (edge.weight == 100) {
      halves.push_back({edge.a, edge.b, 50});
      halves.push_back({edge.b, edge.a, 50});
    } else {
      halves.push_back(edge);
      halves.push_back(edge);
    }
  }
  const std::vector<int32_t> merged = Partitioned(GraphOf(8, halves), 2);
  ExpectCliquesApart(merged);
  EXPECT_EQ(merged, Partitioned(GraphOf(8, TwoCliques(100, 2)), 2));
}

TEST(GraphPartitionTest, HugeWeightsAreScaledDown) {
  const int64_t huge = int64_t{1} << 50;
  ExpectCliquesApart(Partitioned(GraphOf(8, TwoCliques(huge, 1)), 2));
  ExpectCliquesApart(
      Partitioned(GraphOf(8, TwoCliques(std::numeric_limits<int64_t>::max(), huge >> 30)), 2));
}

TEST(GraphPartitionTest, IsolatedVerticesArePartitioned) {
  // No edges at all.
  std::vector<int32_t> part_of = Partitioned(GraphOf(6, {}), 3);
  ASSERT_EQ(part_of.size(), 6u);
  for (int32_t part : part_of) EXPECT_TRUE(part >= 0 && part < 3) << part;

  // The two cliques and four vertices without edges (8-11).
  part_of = Partitioned(GraphOf(12, TwoCliques(100, 1)), 2);
  ASSERT_EQ(part_of.size(), 12u);
  for (int32_t part : part_of) EXPECT_TRUE(part == 0 || part == 1) << part;
}

TEST(GraphPartitionTest, RejectsMalformedAdjacency) {
  const WeightedGraph good = GraphOf(3, {{0, 1, 5}, {1, 2, 5}});
  std::vector<int32_t> part_of;
  std::string error;
  ASSERT_TRUE(PartitionGraph(good, 2, &part_of, &error)) << error;

  auto expect_rejected = [](const WeightedGraph& graph, int parts, const std::string& why) {
    std::vector<int32_t> part_of{1, 2, 3};
    std::string error;
    EXPECT_FALSE(PartitionGraph(graph, parts, &part_of, &error)) << why;
    EXPECT_TRUE(part_of.empty()) << why;
    EXPECT_NE(error.find(why), std::string::npos) << error;
  };
  expect_rejected(good, 0, "fewer than one part");
  expect_rejected(good, -3, "fewer than one part");

  WeightedGraph bad = good;
  bad.vertex_count = -1;
  expect_rejected(bad, 2, "negative vertex count");
  bad = good;
  bad.offsets.pop_back();
  expect_rejected(bad, 2, "offset count");
  bad = good;
  bad.offsets[0] = 1;
  expect_rejected(bad, 2, "first offset");
  bad = good;
  std::swap(bad.offsets[1], bad.offsets[2]);
  expect_rejected(bad, 2, "offsets decrease");
  bad = good;
  bad.offsets.back() -= 1;
  expect_rejected(bad, 2, "last offset");
  bad = good;
  bad.weights.pop_back();
  expect_rejected(bad, 2, "weight count");
  bad = good;
  bad.neighbors[0] = 3;
  expect_rejected(bad, 2, "neighbor out of range");
  bad = good;
  bad.neighbors[0] = -1;
  expect_rejected(bad, 2, "neighbor out of range");
}

TEST(GraphPartitionTest, RejectsAsymmetricAdjacency) {
  std::vector<int32_t> part_of;
  std::string error;
  // An entry 0->1 without 1->0.
  WeightedGraph one_way;
  one_way.vertex_count = 2;
  one_way.offsets = {0, 1, 1};
  one_way.neighbors = {1};
  one_way.weights = {4};
  EXPECT_FALSE(PartitionGraph(one_way, 2, &part_of, &error));
  EXPECT_NE(error.find("not symmetric"), std::string::npos) << error;

  // Both entries present with different weights.
  WeightedGraph uneven = GraphOf(3, {{0, 1, 5}, {1, 2, 5}});
  uneven.weights[0] = 6;
  error.clear();
  EXPECT_FALSE(PartitionGraph(uneven, 2, &part_of, &error));
  EXPECT_NE(error.find("not symmetric"), std::string::npos) << error;
}

// Random graphs with every irregularity the cleaning handles: self loops,
// zero and negative weights, repeated edges, isolated vertices and more parts
// than vertices. Every one must be partitioned into valid parts.
TEST(GraphPartitionTest, RandomIrregularGraphsArePartitioned) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 2000; ++round) {
    const int32_t n = 1 + static_cast<int32_t>(random() % 40);
    const int parts = 1 + static_cast<int>(random() % (n + 5));
    std::vector<Edge> edges;
    const int edge_count = static_cast<int>(random() % (3 * n + 1));
    for (int e = 0; e < edge_count; ++e) {
      const int32_t a = static_cast<int32_t>(random() % n);
      const int32_t b = random() % 5 == 0 ? a : static_cast<int32_t>(random() % n);
      const int64_t weight = static_cast<int64_t>(random() % 10002) - 1;
      edges.push_back({a, b, weight});
    }
    std::vector<int32_t> part_of;
    std::string error;
    ASSERT_TRUE(PartitionGraph(GraphOf(n, edges), parts, &part_of, &error))
        << "round " << round << ": " << error;
    ASSERT_EQ(part_of.size(), static_cast<size_t>(n));
    const int32_t limit = std::min<int32_t>(parts, n);
    for (int32_t part : part_of) ASSERT_TRUE(part >= 0 && part < limit) << "round " << round;
  }
}

// Concurrent calls give what serial calls give.
TEST(GraphPartitionTest, ConcurrentCallsAgreeWithSerialOnes) {
  std::mt19937 random(5);
  std::vector<WeightedGraph> graphs;
  for (int g = 0; g < 8; ++g) {
    std::vector<Edge> edges;
    for (int e = 0; e < 200; ++e) {
      edges.push_back({static_cast<int32_t>(random() % 60), static_cast<int32_t>(random() % 60),
                       1 + static_cast<int64_t>(random() % 100)});
    }
    graphs.push_back(GraphOf(60, edges));
  }
  std::vector<std::vector<int32_t>> serial;
  for (const WeightedGraph& graph : graphs) serial.push_back(Partitioned(graph, 5));

  std::vector<std::vector<std::vector<int32_t>>> results(4);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < results.size(); ++t) {
    threads.emplace_back([&graphs, &results, t] {
      for (int round = 0; round < 20; ++round) {
        for (const WeightedGraph& graph : graphs) {
          std::vector<int32_t> part_of;
          PartitionGraph(graph, 5, &part_of);
          results[t].push_back(part_of);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const auto& thread_results : results) {
    ASSERT_EQ(thread_results.size(), 20 * graphs.size());
    for (size_t i = 0; i < thread_results.size(); ++i) {
      EXPECT_EQ(thread_results[i], serial[i % graphs.size()]) << "call " << i;
    }
  }
}

}  // namespace
}  // namespace qora
