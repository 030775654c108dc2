// Times the same extractions through DllSscanf, the C library's sscanf and
// the hand-written limit, side by side in one run. Before timing anything it
// checks that the three routes agree on every value of every workload, so a
// table never compares routes that read different things.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "workloads.h"

namespace voltrima::bench {
namespace {

// Single inputs are cycled through so that the branch predictor cannot learn
// one value; the long texts of the walking form exceed 64 KiB.
constexpr std::size_t SingleInputs = 1024;
constexpr std::size_t LongTextBytes = 96 * 1024;

template <typename W>
struct Data {
  std::vector<std::string> inputs;  // one value (or one line) each
  std::string text;                 // many values, joined by W::Separator
  std::size_t values = 0;           // how many values `text` holds
};

template <typename W>
const Data<W>& DataOf() {
  static const Data<W> data = [] {
    Data<W> d;
    Rng rng(20261211);
    for (std::size_t i = 0; i < SingleInputs; ++i) d.inputs.push_back(W::Random(rng));
    while (d.text.size() < LongTextBytes) {
      if (d.values > 0) d.text += W::Separator;
      d.text += W::Random(rng);
      ++d.values;
    }
    return d;
  }();
  return data;
}

template <typename W>
typename W::Values Zeroed() {
  typename W::Values v;
  std::memset(&v, 0, sizeof v);
  return v;
}

template <typename W>
bool Same(const typename W::Values& a, const typename W::Values& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// The three routes must read the same values from every single input, and
// stop at the same place after every value of the long text.
template <typename W>
bool Agree() {
  const Data<W>& d = DataOf<W>();
  for (const std::string& in : d.inputs) {
    auto ours = Zeroed<W>(), libc = Zeroed<W>(), limit = Zeroed<W>();
    const int oursResult = W::Ours(in.c_str(), ours);
    const int libcResult = W::Libc(in.c_str(), libc);
    const char* limitEnd = W::Limit(in.data(), in.data() + in.size(), limit);
    if (oursResult != libcResult || oursResult <= 0 || limitEnd == nullptr || !Same<W>(ours, libc) ||
        !Same<W>(ours, limit)) {
      std::fprintf(stderr, "%s: the routes disagree on \"%s\"\n", W::Name, in.c_str());
      return false;
    }
  }
  const char* ours = d.text.c_str();
  const char* libc = ours;
  const char* limit = ours;
  const char* end = ours + d.text.size();
  for (std::size_t k = 0; k < d.values; ++k) {
    auto a = Zeroed<W>(), b = Zeroed<W>(), c = Zeroed<W>();
    int na = -1, nb = -1;
    const int ra = W::OursNext(ours, a, na);
    const int rb = W::LibcNext(libc, b, nb);
    const char* next = W::Limit(limit, end, c);
    if (ra != rb || ra <= 0 || next == nullptr || !Same<W>(a, b) || !Same<W>(a, c) ||
        ours + na != libc + nb || ours + na != next) {
      std::fprintf(stderr, "%s: the routes disagree on value %zu of the long text\n", W::Name, k);
      return false;
    }
    ours += na;
    libc += nb;
    limit = next;
  }
  return true;
}

enum class Route { Ours, Libc, Limit };

constexpr const char* RouteName(Route route) {
  switch (route) {
    case Route::Ours: return "DllSscanf";
    case Route::Libc: return "sscanf";
    case Route::Limit: return "limit";
  }
  return "";
}

template <typename W, Route R>
void Single(benchmark::State& state) {
  const Data<W>& d = DataOf<W>();
  std::size_t i = 0;
  auto v = Zeroed<W>();
  for (auto _ : state) {
    const std::string& in = d.inputs[i++ % SingleInputs];
    if constexpr (R == Route::Ours) {
      benchmark::DoNotOptimize(W::Ours(in.c_str(), v));
    } else if constexpr (R == Route::Libc) {
      benchmark::DoNotOptimize(W::Libc(in.c_str(), v));
    } else {
      benchmark::DoNotOptimize(W::Limit(in.data(), in.data() + in.size(), v));
    }
    benchmark::DoNotOptimize(v);
  }
}

// One iteration reads one value of the long text and moves on past it, as a
// caller walking a buffer does; at the end of the text it starts again.
template <typename W, Route R>
void Repeated(benchmark::State& state) {
  const Data<W>& d = DataOf<W>();
  const char* start = d.text.c_str();
  const char* end = start + d.text.size();
  const char* p = start;
  std::size_t k = 0;
  auto v = Zeroed<W>();
  for (auto _ : state) {
    if constexpr (R == Route::Limit) {
      p = W::Limit(p, end, v);
    } else {
      int n = 0;
      if constexpr (R == Route::Ours)
        W::OursNext(p, v, n);
      else
        W::LibcNext(p, v, n);
      p += n;
    }
    benchmark::DoNotOptimize(p);
    benchmark::DoNotOptimize(v);
    if (++k == d.values) {
      p = start;
      k = 0;
    }
  }
}

// %d at the start of a text of state.range(0) bytes: the cost of a call must
// not grow with the input it does not consume.
const std::string& TextOfLength(std::size_t length) {
  static std::string short8 = "-1234567";
  static std::string long1MiB = [] {
    std::string t = "-1234567 ";
    while (t.size() < (std::size_t{1} << 20)) t += "abcdefgh ";
    t.resize(std::size_t{1} << 20);
    return t;
  }();
  return length <= 8 ? short8 : long1MiB;
}

template <Route R>
void IntAtStartOf(benchmark::State& state) {
  const std::string& text = TextOfLength(static_cast<std::size_t>(state.range(0)));
  int v = 0;
  for (auto _ : state) {
    if constexpr (R == Route::Ours) {
      benchmark::DoNotOptimize(DllSscanf(text.c_str(), "%d", &v, nullptr));
    } else if constexpr (R == Route::Libc) {
      benchmark::DoNotOptimize(std::sscanf(text.c_str(), "%d", &v));
    } else {
      benchmark::DoNotOptimize(LimitInt(text.data(), text.data() + text.size(), v));
    }
    benchmark::DoNotOptimize(v);
  }
}

bool IntAtStartAgrees() {
  for (std::size_t length : {std::size_t{8}, std::size_t{1} << 20}) {
    const std::string& text = TextOfLength(length);
    int a = 0, b = 0;
    if (text.size() != length || DllSscanf(text.c_str(), "%d", &a, nullptr) != 1 ||
        std::sscanf(text.c_str(), "%d", &b) != 1 || a != -1234567 || b != a) {
      std::fprintf(stderr, "int_at_start: the routes disagree on the %zu-byte text\n", length);
      return false;
    }
  }
  return true;
}

template <typename W, Route R>
void RegisterRoute() {
  const std::string name = W::Name;
  benchmark::RegisterBenchmark((name + "/single/" + RouteName(R)).c_str(), Single<W, R>);
  benchmark::RegisterBenchmark((name + "/repeated/" + RouteName(R)).c_str(), Repeated<W, R>);
}

template <typename... Workloads>
bool AgreeAndRegister() {
  if (!(Agree<Workloads>() && ...)) return false;
  ((RegisterRoute<Workloads, Route::Ours>(), RegisterRoute<Workloads, Route::Libc>(),
    RegisterRoute<Workloads, Route::Limit>()),
   ...);
  return true;
}

template <Route R>
void RegisterIntAtStart() {
  benchmark::RegisterBenchmark((std::string("int_at_start/") + RouteName(R)).c_str(), IntAtStartOf<R>)
      ->Arg(8)
      ->Arg(1 << 20);
}

}  // namespace
}  // namespace voltrima::bench

int main(int argc, char** argv) {
  using namespace voltrima::bench;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!AgreeAndRegister<OneInt, ThreeInts, Hex, Int64, Word, ScanSetWord, Double, Float, LogLine>() ||
      !IntAtStartAgrees())
    return 1;
  RegisterIntAtStart<Route::Ours>();
  RegisterIntAtStart<Route::Libc>();
  RegisterIntAtStart<Route::Limit>();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
