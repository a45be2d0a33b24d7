#include "population/permutations.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>

#include "core/interrupt.h"
#include "core/threadpool.h"
#include "ordination/mantel.h"

namespace lorvane {

namespace {

constexpr double kTolerance = 1e-9;
constexpr std::size_t kBatch = 16;  // permutations a thread takes at once

// The sums of δ² within groups: `lists` holds each group's strains in
// ascending order, group g at [start[g], start[g + 1]). Each strain's row
// of the lower half is read at the earlier strains of its group, in
// ascending order; the sum is added up in that order.
double listsum(const DeltaHalf& delta, const int* list, int length) {
  double sum = 0;
  for (int k = 1; k < length; ++k) {
    const float* row = delta.data() + Triangle::row(list[k]);
    double part = 0;
    for (int m = 0; m < k; ++m) part += row[list[m]];
    sum += part;
  }
  return sum;
}

void withinsums(const DeltaHalf& delta, const std::vector<int>& lists, const std::vector<int>& start, double* out) {
  for (std::size_t g = 0; g + 1 < start.size(); ++g)
    out[g] = listsum(delta, lists.data() + start[g], start[g + 1] - start[g]);
}

// The groups' strains listed in ascending order from each strain's group.
void bucket(const std::vector<int>& label, const std::vector<int>& start, std::vector<int>& fill,
            std::vector<int>& lists) {
  std::copy(start.begin(), start.end() - 1, fill.begin());
  for (std::size_t s = 0; s < label.size(); ++s) lists[static_cast<std::size_t>(fill[static_cast<std::size_t>(label[s])]++)] = static_cast<int>(s);
}

std::vector<int> starts(const std::vector<int>& sizes) {
  std::vector<int> start(sizes.size() + 1, 0);
  for (std::size_t g = 0; g < sizes.size(); ++g) start[g + 1] = start[g] + sizes[g];
  return start;
}

// What every permutation of an AMOVA reads.
struct AmovaFrame {
  const DeltaHalf& delta;
  const Design& design;
  std::vector<int> start;      // of each population's block of strains
  std::vector<int> slots;      // the population of each place, block after block
  std::vector<double> pairsums;  // of the single-precision δ², for the top level's test
  DesignSums sums;
  double withinregions = 0;    // sum over regions of R_r / N_r
  Coefficients c;

  explicit AmovaFrame(const DeltaHalf& h, const Design& d)
      : delta(h), design(d), start(starts(d.sizes)),
        pairsums(populationsums(h, d.population, d.populationcount())),
        sums(designsums(pairsums, d)),
        c(nvalues(d.sizes, d.region, d.regioncount())) {
    for (std::size_t p = 0; p < d.sizes.size(); ++p) slots.insert(slots.end(), static_cast<std::size_t>(d.sizes[p]), static_cast<int>(p));
    std::vector<double> strains(static_cast<std::size_t>(d.regioncount()), 0.0);
    for (std::size_t p = 0; p < d.sizes.size() && d.twolevels(); ++p) strains[static_cast<std::size_t>(d.region[p])] += d.sizes[p];
    for (std::size_t r = 0; r < strains.size(); ++r) withinregions += sums.regions[r] / strains[r];
  }
  // Σ W_p / n_p of the strains' groups `label`.
  double within(const std::vector<int>& label, std::vector<int>& fill, std::vector<int>& lists,
                std::vector<double>& w) const {
    bucket(label, start, fill, lists);
    withinsums(delta, lists, start, w.data());
    double s = 0;
    for (std::size_t p = 0; p < w.size(); ++p) s += w[p] / design.sizes[p];
    return s;
  }
  // The components of the levels below the top from Σ W_p / n_p:
  // {among populations (within regions), within populations}.
  std::pair<double, double> lower(double within) const {
    const double n = design.strains(), p = design.populationcount(), g = design.regioncount();
    const double mswithin = within / (n - p);
    if (!design.twolevels()) return {((sums.total / n - within) / (p - 1) - mswithin) / c.n, mswithin};
    return {((withinregions - within) / (p - g) - mswithin) / c.n, mswithin};
  }
  // The top level's component with the populations in the regions `region`.
  double top(const std::vector<int>& region, DesignSums& scratch) const {
    const auto p = static_cast<std::size_t>(design.populationcount());
    std::fill(scratch.regions.begin(), scratch.regions.end(), 0.0);
    for (std::size_t a = 0; a < p; ++a)
      for (std::size_t b = a; b < p; ++b)
        if (region[a] == region[b]) scratch.regions[static_cast<std::size_t>(region[a])] += pairsums[a * p + b];
    return components(scratch, design.sizes, region, design.regioncount())[0];
  }
};

}  // namespace

std::vector<long long> permute(const PermutationOptions& o, std::size_t statistics, const std::function<Tally()>& make) {
  const int total = o.count < 0 ? o.permutations : o.count;
  const auto count = static_cast<std::size_t>(std::max(total, 0));
  const auto first = static_cast<std::uint32_t>(o.count < 0 ? 1 : o.first);
  const std::size_t batches = (count + kBatch - 1) / kBatch;
  const int threads = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(std::max(o.threads, 1)), std::max<std::size_t>(batches, 1)));
  std::vector<long long> counts(statistics, 0);
  std::atomic<std::size_t> next{0}, finished{0};
  std::atomic<bool> stop{false};
  std::mutex merge;
  std::size_t reported = 0;
  eachthread(threads, [&](int thread) {
    std::vector<long long> mine(statistics, 0);
    try {
      const Tally tally = make();
      for (std::size_t batch; !stop.load(std::memory_order_relaxed) && (batch = next.fetch_add(1)) < batches;) {
        checkinterrupt();
        for (std::size_t k = batch * kBatch; k < std::min(count, (batch + 1) * kBatch); ++k)
          tally(first + static_cast<std::uint32_t>(k), mine.data());
        const std::size_t done = finished.fetch_add(1) + 1;
        if (thread == 0 && o.progress && done >= reported + 8 * static_cast<std::size_t>(threads)) {
          reported = done;
          o.progress(static_cast<int>(std::min(done * kBatch, count)), total);
        }
      }
    } catch (...) {
      stop = true;
      throw;
    }
    const std::lock_guard<std::mutex> hold(merge);
    for (std::size_t s = 0; s < statistics; ++s) counts[s] += mine[s];
  });
  if (o.progress && batches > 0) o.progress(total, total);
  return counts;
}

std::vector<long long> amovatests(const DeltaHalf& delta, const Design& design, const PermutationOptions& options) {
  const AmovaFrame frame(delta, design);
  const int n = design.strains(), p = design.populationcount(), g = design.regioncount();
  const bool two = design.twolevels();
  // The observed values, computed as the permutations compute theirs.
  std::vector<int> fill(static_cast<std::size_t>(p) + 1), lists(static_cast<std::size_t>(n));
  std::vector<double> w(static_cast<std::size_t>(p));
  const std::pair<double, double> observed = frame.lower(frame.within(design.population, fill, lists, w));
  const double among = observed.first, within = observed.second;
  DesignSums scratch = frame.sums;
  const double top = two ? frame.top(design.region, scratch) : 0;
  const double tolerance = kTolerance * (std::fabs(top) + std::fabs(among) + std::fabs(within));
  // The places of each region, in block order.
  std::vector<std::vector<int>> regionslots(static_cast<std::size_t>(g));
  for (int s = 0; s < n && two; ++s) {
    const int pop = frame.slots[static_cast<std::size_t>(s)];
    regionslots[static_cast<std::size_t>(design.region[static_cast<std::size_t>(pop)])].push_back(pop);
  }
  const std::size_t statistics = two ? 3 : 2;
  return permute(options, statistics, [&]() -> Tally {
    struct Scratch {
      std::vector<std::uint32_t> order, poporder;
      std::vector<int> label, fill, lists, next, region;
      std::vector<double> w;
      DesignSums sums;
    };
    auto s = std::make_shared<Scratch>();
    s->order.resize(static_cast<std::size_t>(n));
    s->poporder.resize(static_cast<std::size_t>(p));
    s->label.resize(static_cast<std::size_t>(n));
    s->fill.resize(static_cast<std::size_t>(p) + 1);
    s->lists.resize(static_cast<std::size_t>(n));
    s->next.resize(static_cast<std::size_t>(g));
    s->region.resize(static_cast<std::size_t>(p));
    s->w.resize(static_cast<std::size_t>(p));
    s->sums = frame.sums;
    return [&, s](std::uint32_t q, long long* counts) {
      Scratch& x = *s;
      const std::uint32_t stream = two ? 3 * q - 2 : q;
      // Strains across all populations: strain order[t] takes place t.
      mantelpermutation(options.seed, stream, x.order.data(), x.order.size());
      for (int t = 0; t < n; ++t) x.label[x.order[static_cast<std::size_t>(t)]] = frame.slots[static_cast<std::size_t>(t)];
      const std::pair<double, double> all = frame.lower(frame.within(x.label, x.fill, x.lists, x.w));
      const double a1 = all.first, w1 = all.second;
      if (!two) {
        counts[0] += a1 >= among - tolerance;
        counts[1] += w1 <= within + tolerance;
        return;
      }
      counts[2] += w1 <= within + tolerance;
      // Strains among the populations of their region, in the order of a shuffle of all strains.
      mantelpermutation(options.seed, stream + 1, x.order.data(), x.order.size());
      std::fill(x.next.begin(), x.next.end(), 0);
      for (std::uint32_t strain : x.order) {
        const int r = design.region[static_cast<std::size_t>(design.population[strain])];
        x.label[strain] = regionslots[static_cast<std::size_t>(r)][static_cast<std::size_t>(x.next[static_cast<std::size_t>(r)]++)];
      }
      counts[1] += frame.lower(frame.within(x.label, x.fill, x.lists, x.w)).first >= among - tolerance;
      // Whole populations among the regions.
      mantelpermutation(options.seed, stream + 2, x.poporder.data(), x.poporder.size());
      for (int k = 0; k < p; ++k) x.region[static_cast<std::size_t>(k)] = design.region[x.poporder[static_cast<std::size_t>(k)]];
      counts[0] += frame.top(x.region, x.sums) >= top - tolerance;
    };
  });
}

std::vector<long long> phipttests(const DeltaHalf& delta, const Design& design, const PermutationOptions& options) {
  const int n = design.strains(), p = design.populationcount();
  const auto pp = static_cast<std::size_t>(p);
  const std::vector<int> start = starts(design.sizes);
  // Each population's strains in ascending order, and their sums within.
  std::vector<int> fill(pp + 1), members(static_cast<std::size_t>(n));
  bucket(design.population, start, fill, members);
  std::vector<double> w(pp);
  withinsums(delta, members, start, w.data());
  const std::vector<double> pairsums = populationsums(delta, design.population, p);
  std::vector<double> observed(pp * pp, std::numeric_limits<double>::quiet_NaN());
  for (std::size_t a = 0; a < pp; ++a)
    for (std::size_t b = a + 1; b < pp; ++b)
      observed[a * pp + b] = pairphi(w[a], w[b], w[a] + w[b] + pairsums[a * pp + b], design.sizes[a], design.sizes[b]);
  return permute(options, pp * pp, [&]() -> Tally {
    struct Scratch {
      std::vector<std::uint32_t> order;
      std::vector<int> position, shuffled, fill, side, first, second;
    };
    auto s = std::make_shared<Scratch>();
    s->order.resize(static_cast<std::size_t>(n));
    s->position.resize(static_cast<std::size_t>(n));
    s->shuffled.resize(static_cast<std::size_t>(n));
    s->fill.resize(pp + 1);
    s->side.resize(static_cast<std::size_t>(n));
    s->first.resize(static_cast<std::size_t>(n));
    s->second.resize(static_cast<std::size_t>(n));
    return [&, s](std::uint32_t q, long long* counts) {
      Scratch& x = *s;
      mantelpermutation(options.seed, q, x.order.data(), x.order.size());
      // Each population's strains in the order of the shuffle.
      std::copy(start.begin(), start.end() - 1, x.fill.begin());
      for (int t = 0; t < n; ++t) {
        const std::uint32_t strain = x.order[static_cast<std::size_t>(t)];
        x.position[strain] = t;
        x.shuffled[static_cast<std::size_t>(x.fill[static_cast<std::size_t>(design.population[strain])]++)] = static_cast<int>(strain);
      }
      for (int a = 0; a < p; ++a)
        for (int b = a + 1; b < p; ++b) {
          const double phi = observed[static_cast<std::size_t>(a * p + b)];
          if (std::isnan(phi)) continue;
          // The pair's strains in the order of the shuffle: the first n_a go to a.
          const int* u = x.shuffled.data() + start[static_cast<std::size_t>(a)];
          const int* v = x.shuffled.data() + start[static_cast<std::size_t>(b)];
          const int nu = design.sizes[static_cast<std::size_t>(a)], nv = design.sizes[static_cast<std::size_t>(b)];
          for (int i = 0, j = 0, taken = 0; i < nu || j < nv; ++taken) {
            const bool fromu = j == nv || (i < nu && x.position[static_cast<std::size_t>(u[i])] < x.position[static_cast<std::size_t>(v[j])]);
            x.side[static_cast<std::size_t>(fromu ? u[i++] : v[j++])] = taken < nu ? 0 : 1;
          }
          // The two permuted groups in ascending order.
          const int* mu = members.data() + start[static_cast<std::size_t>(a)];
          const int* mv = members.data() + start[static_cast<std::size_t>(b)];
          int k1 = 0, k2 = 0;
          for (int i = 0, j = 0; i < nu || j < nv;) {
            const int strain = j == nv || (i < nu && mu[i] < mv[j]) ? mu[i++] : mv[j++];
            (x.side[static_cast<std::size_t>(strain)] == 0 ? x.first[static_cast<std::size_t>(k1++)] : x.second[static_cast<std::size_t>(k2++)]) = strain;
          }
          const double w1 = listsum(delta, x.first.data(), k1), w2 = listsum(delta, x.second.data(), k2);
          const double total = w[static_cast<std::size_t>(a)] + w[static_cast<std::size_t>(b)] + pairsums[static_cast<std::size_t>(a * p + b)];
          counts[a * p + b] += pairphi(w1, w2, total, nu, nv) >= phi - kTolerance;
        }
    };
  });
}

double pairphi(double w1, double w2, double total, int n1, int n2) {
  const double n = n1 + n2;
  if (n <= 2) return std::numeric_limits<double>::quiet_NaN();
  const double within = w1 / n1 + w2 / n2;
  const double mswithin = within / (n - 2);
  const double coefficient = n - (static_cast<double>(n1) * n1 + static_cast<double>(n2) * n2) / n;
  const double among = (total / n - within - mswithin) / coefficient;
  return among / (among + mswithin);
}

}  // namespace lorvane
