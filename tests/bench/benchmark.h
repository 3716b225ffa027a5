// Google Benchmark natively; for the Windows build (there is no Google Benchmark for
// MinGW here) a very small stand-in with the few parts profile_bench.cpp uses, so that
// one source measures both back-ends:
// - RegisterBenchmark(name, lambda) with ->Unit(), ->UseRealTime() and ->MinTime();
// - State: the iteration loop, PauseTiming / ResumeTiming, SkipWithError;
// - Initialize, RunSpecifiedBenchmarks, Shutdown, DoNotOptimize.
// It always measures wall-clock time, repeats each benchmark until MinTime has passed
// (at least once), and prints the CSV of --benchmark_format=csv.
#pragma once

#ifndef _WIN32
#include <benchmark/benchmark.h>
#else
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace benchmark {

enum TimeUnit { kNanosecond, kMicrosecond, kMillisecond, kSecond };

template <class T>
void DoNotOptimize(T const& value) {
  asm volatile("" : : "r,m"(value) : "memory");
}

class State {
 public:
  explicit State(std::int64_t iterations) : wanted_(iterations) {}

  class Iterator {
   public:
    Iterator(State* state, std::int64_t left) : state_(state), left_(left) {}
    // Marked unused, as Google Benchmark does, so that "for (auto _ : state)" is quiet.
    struct __attribute__((unused)) Value {};
    Value operator*() const { return Value(); }
    Iterator& operator++() {
      --left_;
      return *this;
    }
    bool operator!=(const Iterator&) {
      if (left_ > 0 && !state_->error_) {
        return true;
      }
      state_->Stop();
      return false;
    }

   private:
    State* state_;
    std::int64_t left_;
  };
  Iterator begin() {
    ResumeTiming();
    return Iterator(this, wanted_);
  }
  Iterator end() { return Iterator(this, 0); }

  void PauseTiming() {
    elapsed_ += std::chrono::steady_clock::now() - started_;
    running_ = false;
  }
  void ResumeTiming() {
    started_ = std::chrono::steady_clock::now();
    running_ = true;
  }
  void SkipWithError(const char* message) {
    error_ = true;
    message_ = message;
  }

  std::int64_t iterations() const { return wanted_; }
  double seconds() const { return std::chrono::duration<double>(elapsed_).count(); }
  bool error() const { return error_; }
  const std::string& message() const { return message_; }

 private:
  void Stop() {
    if (running_) {
      PauseTiming();
    }
  }
  std::int64_t wanted_;
  bool running_ = false;
  bool error_ = false;
  std::string message_;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::duration elapsed_{};
};

namespace internal {

class Benchmark {
 public:
  Benchmark(std::string name, std::function<void(State&)> body)
      : name_(std::move(name)), body_(std::move(body)) {}
  Benchmark* Unit(TimeUnit unit) {
    unit_ = unit;
    return this;
  }
  Benchmark* UseRealTime() { return this; }  // the stand-in always does
  Benchmark* MinTime(double seconds) {
    minTime_ = seconds;
    return this;
  }

  // Grows the iteration count, as Google Benchmark does, until one run lasts MinTime.
  void Run() const {
    static const char* const kUnits[] = {"ns", "us", "ms", "s"};
    static const double kScale[] = {1e9, 1e6, 1e3, 1};
    for (std::int64_t iterations = 1;;) {
      State state(iterations);
      body_(state);
      if (state.error()) {
        std::printf("\"%s\",,,,,,,,true,\"%s\"\n", name_.c_str(), state.message().c_str());
        return;
      }
      if (state.seconds() >= minTime_ || iterations >= 1000000000) {
        const double each = state.seconds() / static_cast<double>(iterations) * kScale[unit_];
        std::printf("\"%s\",%lld,%g,%g,%s,,,,,\n", name_.c_str(),
                    static_cast<long long>(iterations), each, each, kUnits[unit_]);
        std::fflush(stdout);
        return;
      }
      const double factor = state.seconds() > 0 ? minTime_ * 1.4 / state.seconds() : 10;
      iterations = static_cast<std::int64_t>(static_cast<double>(iterations) *
                                             (factor > 10 ? 10 : (factor < 1.1 ? 2 : factor))) +
                   1;
    }
  }

 private:
  std::string name_;
  std::function<void(State&)> body_;
  TimeUnit unit_ = kNanosecond;
  double minTime_ = 0.5;
};

inline std::vector<std::unique_ptr<Benchmark> >& Registered() {
  static std::vector<std::unique_ptr<Benchmark> > benchmarks;
  return benchmarks;
}

}  // namespace internal

template <class Lambda>
internal::Benchmark* RegisterBenchmark(const char* name, Lambda&& body) {
  internal::Registered().push_back(
      std::make_unique<internal::Benchmark>(name, std::forward<Lambda>(body)));
  return internal::Registered().back().get();
}

inline void Initialize(int*, char**) {}
inline void Shutdown() {}
inline std::size_t RunSpecifiedBenchmarks() {
  std::printf(
      "name,iterations,real_time,cpu_time,time_unit,bytes_per_second,items_per_second,"
      "label,error_occurred,error_message\n");
  for (const auto& benchmark : internal::Registered()) {
    benchmark->Run();
  }
  return internal::Registered().size();
}

}  // namespace benchmark
#endif
