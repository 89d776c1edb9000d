# The two commands of the README, and the build steps behind them.
#   make run    builds the Linux tree and runs quorlin-run on its built-in configuration
#   make test   installs what is missing, builds the benchmarks and runs each once on a tiny workload,
#               then replays the fuzz corpora, builds linux-asan, linux-tsan and windows and runs every test
#   make fuzz   searches with each fuzz target for FUZZ_SECONDS (new finds go to build/fuzz/found/TARGET)
#   make bench  the full comparison with spdlog (make bench BENCH_ARGS=--quick for a shorter one)
.PHONY: run test deps test-linux-asan test-linux-tsan test-windows test-bench test-fuzz fuzz-build fuzz bench package docs clean

CMAKE ?= cmake
CTEST ?= ctest

run:
	./scripts/install-deps.sh run
	$(CMAKE) --preset linux >/dev/null
	$(CMAKE) --build --preset linux --target quorlin-run
	./build/linux/bin/quorlin-run --generate 300000 --threads 2
	@ls -l logs

deps:
	./scripts/install-deps.sh test
	./scripts/install-deps.sh bench

test: deps test-bench test-fuzz test-linux-asan test-linux-tsan test-windows

test-linux-asan:
	$(CMAKE) --preset linux-asan >/dev/null
	$(CMAKE) --build --preset linux-asan
	$(CTEST) --preset linux-asan

test-linux-tsan:
	$(CMAKE) --preset linux-tsan >/dev/null
	$(CMAKE) --build --preset linux-tsan
	$(CTEST) --preset linux-tsan --no-tests=ignore

test-windows:
	$(CMAKE) --preset windows >/dev/null
	$(CMAKE) --build --preset windows
	$(CTEST) --preset windows

# The benchmarks compile and run correctly: each once, on a tiny workload (not timed).
BENCH_TARGETS = purge_bench micro_bench compare_bench spdlog_stdin gzip gzip-zlib syslog_bench
test-bench:
	$(CMAKE) --preset linux >/dev/null
	$(CMAKE) --build --preset linux --target $(BENCH_TARGETS)
	./build/linux/bin/purge_bench --smoke --benchmark_min_time=0.001 >/dev/null
	./build/linux/bin/micro_bench --benchmark_min_time=0.001 >/dev/null
	./build/linux/bin/compare_bench --smoke >/dev/null
	./build/linux/bin/syslog_bench --smoke >/dev/null
	./bench/stdin_compare.sh --smoke build/linux/bin build/bench-data/stdin
	./bench/compress_compare.sh --smoke build/linux/bin build/bench-data/compress

# Fuzz targets (clang, libFuzzer with ASan and UBSan). test-fuzz runs every input of each committed
# corpus once, so that a crash once found stays fixed; fuzz searches for new ones.
FUZZ_TARGETS = trace_fuzz numbers_fuzz file_name_pattern_fuzz rolling_name_fuzz configuration_fuzz network_input_fuzz
FUZZ_SECONDS ?= 60
FUZZ_ENV = ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fuzz-build:
	$(CMAKE) --preset fuzz >/dev/null
	$(CMAKE) --build --preset fuzz --target $(FUZZ_TARGETS)

test-fuzz: fuzz-build
	@set -e; for t in $(FUZZ_TARGETS); do \
	  echo "$$t: $$(ls fuzz/corpus/$${t%_fuzz} | wc -l) inputs"; \
	  $(FUZZ_ENV) ./build/fuzz/bin/$$t fuzz/corpus/$${t%_fuzz} -runs=0 -artifact_prefix=build/fuzz/ 2>build/fuzz/$$t.log || { cat build/fuzz/$$t.log; exit 1; }; \
	done

fuzz: fuzz-build
	@set -e; for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/found/$$t; \
	  echo "$$t: $(FUZZ_SECONDS) s"; \
	  $(FUZZ_ENV) ./build/fuzz/bin/$$t build/fuzz/found/$$t fuzz/corpus/$${t%_fuzz} -max_total_time=$(FUZZ_SECONDS) \
	    -artifact_prefix=build/fuzz/found/ -print_final_stats=1 2>build/fuzz/$$t.log || { tail -60 build/fuzz/$$t.log; exit 1; }; \
	  grep -E "stat::(number_of_executed_units|new_units_added)" build/fuzz/$$t.log; \
	done

# Benchmarks, in the optimised Linux tree: the comparison with spdlog (table on standard output,
# build/bench/compare.json and compare.png), whole processes reading standard input
# (build/bench/stdin.md), the compressors (build/bench/compress.md), the syslog appender into rsyslogd
# (build/bench/syslog.md), then the purge (minute pattern, 1,000 history files).
BENCH_ARGS ?=
bench:
	./scripts/install-deps.sh bench
	$(CMAKE) --preset linux >/dev/null
	$(CMAKE) --build --preset linux --target $(BENCH_TARGETS)
	mkdir -p build/bench
	./build/linux/bin/compare_bench $(BENCH_ARGS) --json build/bench/compare.json --dat build/bench/compare.dat | tee build/bench/compare.md
	gnuplot -e "data='build/bench/compare.dat'; out='build/bench/compare.png'" bench/compare.gp
	./bench/stdin_compare.sh build/linux/bin build/bench-data/stdin | tee build/bench/stdin.md
	./bench/compress_compare.sh --windows-bin build/windows/bin build/linux/bin build/bench-data/compress | tee build/bench/compress.md
	./build/linux/bin/syslog_bench | tee build/bench/syslog.md
	./build/linux/bin/purge_bench

# The Windows install tree, zipped: build/package/Quorlin.Appender64-VERSION-win64.zip
package:
	./scripts/install-deps.sh test
	$(CMAKE) --preset windows >/dev/null
	$(CMAKE) --build --preset windows
	rm -rf build/package
	$(CMAKE) --install build/windows --prefix build/package/Quorlin.Appender64 --strip
	cd build/package && $(CMAKE) -E tar cf Quorlin.Appender64-win64.zip --format=zip Quorlin.Appender64
	@echo "package: build/package/Quorlin.Appender64-win64.zip"

# The architecture picture, from its text source.
docs:
	@command -v dot >/dev/null || (DEBIAN_FRONTEND=noninteractive apt-get install -y -q graphviz)
	dot -Tpng -Gdpi=100 docs/architecture.dot -o docs/architecture.png

clean:
	rm -rf build
