// Cost of reading and writing a 128-slot project document (target: each under 2 ms).
#include <benchmark/benchmark.h>

#include "document/document_reader.h"
#include "document/document_writer.h"
#include "tests/support/document_samples.h"

namespace quillex {
namespace {

const nlohmann::json& largeDocumentJson() {
    static const nlohmann::json document = testing::documentWithSlots(128);
    return document;
}

void BM_ReadProjectDocument128Slots(benchmark::State& state) {
    const auto& input = largeDocumentJson();
    for (auto _ : state) benchmark::DoNotOptimize(readProjectDocument(input));
}
BENCHMARK(BM_ReadProjectDocument128Slots)->Unit(benchmark::kMicrosecond);

void BM_WriteProjectDocument128Slots(benchmark::State& state) {
    const ProjectDocument document = readProjectDocument(largeDocumentJson());
    for (auto _ : state) benchmark::DoNotOptimize(writeProjectDocument(document));
}
BENCHMARK(BM_WriteProjectDocument128Slots)->Unit(benchmark::kMicrosecond);

// The whole road of a restored snapshot text and of a sent document text, for scale.
void BM_ParseAndReadDocumentText128Slots(benchmark::State& state) {
    const std::string text = largeDocumentJson().dump();
    for (auto _ : state) benchmark::DoNotOptimize(readProjectDocument(parseJsonText(text)));
}
BENCHMARK(BM_ParseAndReadDocumentText128Slots)->Unit(benchmark::kMicrosecond);

void BM_WriteAndDumpDocumentText128Slots(benchmark::State& state) {
    const ProjectDocument document = readProjectDocument(largeDocumentJson());
    for (auto _ : state) benchmark::DoNotOptimize(writeProjectDocument(document).dump());
}
BENCHMARK(BM_WriteAndDumpDocumentText128Slots)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillex
