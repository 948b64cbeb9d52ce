// Reading speed of the data manager's XML reader on a 10 MB database file, compared in the same
// run with pugixml building a DOM of the same file. Prints both best rates in MB/s and their ratio.
// The file is generated at start in a temporary folder and removed at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include <pugixml.hpp>

#include "core/ApiTable.h"
#include "core/NamedMutex.h"
#include "data/DataManager.h"
#include "filesystem/FileSystemTable.h"
#include "filesystem/SchemeRoots.h"
#include "foundation/ByteStream.h"

namespace {

const int64_t kTargetBytes = 10 * 1000 * 1000;

std::string g_path;                                     // native path, for pugixml
const char* const kVirtualPath = "res://database.xml";  // the same file, for the engine
int64_t g_fileBytes = 0;

// A database shaped like the engine's own data: many arrays of nodes with a handful of
// attributes each, some with text or CDATA content and some with more pairs than fit one line.
void FillDatabase(DMDatabase& database, int32_t arrayCount) {
    for (int32_t a = 0; a < arrayCount; ++a) {
        DMArray* array = database.AddArray();
        array->SetId(("ARRAY_" + std::to_string(a)).c_str());
        array->SetValue("version", "3");
        for (int32_t n = 0; n < 200; ++n) {
            DMNode* node = array->AddNode();
            node->SetValue("id", ("node_" + std::to_string(a) + "_" + std::to_string(n)).c_str());
            node->SetValue("name", "Some descriptive name");
            node->SetValue("x", std::to_string(n * 13 % 1024).c_str());
            node->SetValue("y", std::to_string(n * 7 % 768).c_str());
            if (n % 4 == 0) {
                node->SetValue("texture", "textures/level/background_layer.png");
                node->SetValue("pack_mode", "2");
                node->SetValue("features", "SHOW_FPS,CONSOLE_OVERLAY");
            }
            if (n % 10 == 0) {
                node->SetValue("DATA", "A line of plain text content for this node.");
            } else if (n % 25 == 1) {
                node->SetValue("CDATA", "if (a < b && c > d) { return 1; }");
            }
        }
    }
}

bool GenerateFile() {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "zq_bench_data_xml";
    std::filesystem::create_directories(folder);
    g_path = (folder / "database.xml").string();
    // The data manager reads and writes through the engine's file systems, with res:// here.
    ZQI_BuildApiTables();
    ZQI_CreateCoreMutexes();
    if (!ZQI_InitializeFileSystems()) {
        return false;
    }
    ZQI_SetSchemeRoot(SCHEME_RES, folder.generic_string().c_str());
    DMDatabase probe;
    FillDatabase(probe, 1);
    ByteStream* sample = probe.WriteXML();
    if (sample == nullptr) {
        return false;
    }
    int64_t perArray = sample->size;
    delete sample;
    DMDatabase database;
    FillDatabase(database, static_cast<int32_t>(kTargetBytes / perArray) + 1);
    if (!database.SaveFile(kVirtualPath, false)) {
        return false;
    }
    g_fileBytes = static_cast<int64_t>(std::filesystem::file_size(g_path));
    return true;
}

void BM_EngineXMLReader(benchmark::State& state) {
    for (auto _ : state) {
        DMDatabase* database = new DMDatabase();
        if (!database->LoadXMLFile(kVirtualPath)) {
            state.SkipWithError("the engine's reader rejected the file");
        }
        benchmark::DoNotOptimize(database->arrays.count);
        state.PauseTiming();
        delete database;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * g_fileBytes);
}

void BM_PugiXmlDom(benchmark::State& state) {
    for (auto _ : state) {
        pugi::xml_document* document = new pugi::xml_document();
        if (!document->load_file(g_path.c_str())) {
            state.SkipWithError("pugixml rejected the file");
        }
        benchmark::DoNotOptimize(document->first_child());
        state.PauseTiming();
        delete document;
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * g_fileBytes);
}

// Five runs of each; the summary compares the best of each side, which a loaded machine disturbs
// least.
BENCHMARK(BM_EngineXMLReader)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(5);
BENCHMARK(BM_PugiXmlDom)->Unit(benchmark::kMillisecond)->MinTime(2.0)->Repetitions(5);

// Keeps the console output and notes each benchmark's best rate for the summary.
class RateReporter : public benchmark::ConsoleReporter {
public:
    double engineRate = 0;
    double pugiRate = 0;

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto rate = run.counters.find("bytes_per_second");
            if (rate == run.counters.end() || run.error_occurred || run.run_type != Run::RT_Iteration) {
                continue;  // the mean, median and deviation rows are not runs
            }
            double megabytesPerSecond = rate->second.value / 1e6;
            if (run.benchmark_name().find("Engine") != std::string::npos) {
                engineRate = std::max(engineRate, megabytesPerSecond);
            } else if (run.benchmark_name().find("Pugi") != std::string::npos) {
                pugiRate = std::max(pugiRate, megabytesPerSecond);
            }
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!GenerateFile()) {
        std::fprintf(stderr, "could not write the benchmark file %s\n", g_path.c_str());
        return 1;
    }
    std::printf("file: %s, %.2f MB\n", g_path.c_str(), static_cast<double>(g_fileBytes) / 1e6);
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("engine reader: %.1f MB/s (best of 5)\n", reporter.engineRate);
    std::printf("pugixml DOM:   %.1f MB/s (best of 5)\n", reporter.pugiRate);
    if (reporter.engineRate > 0) {
        std::printf("ratio pugixml / engine: %.2f (target: at most 1.1)\n",
                    reporter.pugiRate / reporter.engineRate);
    }
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(g_path).parent_path(), ignored);
    return 0;
}
