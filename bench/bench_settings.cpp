// The settings file's save on files written by hand: thousands of copies of a section, ten
// megabytes of sections, text in Windows-1251. Each save reads the file, erases the program's
// sections, writes them again and replaces the file, as the main window's close does.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/SettingsFile.h"

namespace {

using namespace kvartix;
namespace fs = std::filesystem;

// Copies of a block, to about the size.
std::string Repeated(const std::string& block, std::size_t size) {
    std::string text = "[Morvi]\r\nPlus=1\r\n";
    while (text.size() < size) text += block;
    return text;
}

std::string TenMegabytes(const std::string& block) { return Repeated(block, 10u << 20); }

fs::path BenchFile() {
    return fs::temp_directory_path() / ("kvartix-bench-" + std::to_string(::getpid()) + ".ini");
}

void Write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

// The file as given before every save (the save erases what it holds of "Test").
void SaveOver(benchmark::State& state, const std::string& text) {
    const fs::path file = BenchFile();
    const SettingsLocation where{file.string(), {}};
    for (auto _ : state) {
        state.PauseTiming();
        Write(file, text);
        state.ResumeTiming();
        if (SaveSettingsFile(where, ProgramSettings{})) state.SkipWithError("refused");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    fs::remove(file);
}

void TestSections(benchmark::State& state) {
    std::string text = "[Morvi]\r\nPlus=1\r\n";
    for (std::int64_t i = 0; i < state.range(0); ++i) text += "[Test]\r\nold=1\r\n";
    SaveOver(state, text);
}
BENCHMARK(TestSections)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);

void TenMegabytesOfTestSections(benchmark::State& state) {
    SaveOver(state, TenMegabytes("[Test]\r\nold=1\r\n"));
}
BENCHMARK(TenMegabytesOfTestSections)->Unit(benchmark::kMillisecond);

void TenMegabytesOfOtherSections(benchmark::State& state) {
    SaveOver(state, TenMegabytes("[Mine]\r\nkept=1\r\n; a note\r\n"));
}
BENCHMARK(TenMegabytesOfOtherSections)->Unit(benchmark::kMillisecond);

void TenMegabytesInWindows1251(benchmark::State& state) {
    // "Курьер Моно" and a byte that is not UTF-8 in every section.
    SaveOver(state, TenMegabytes("[Mine]\r\nName=\xCA\xF3\xF0\xFC\xE5\xF0 \xCC\xEE\xED\xEE\r\n"));
}
BENCHMARK(TenMegabytesInWindows1251)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
