#include "jobs.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "zip.h"

namespace {

std::string withSpecies(std::string line, const std::string& species) {
    for (std::size_t at; (at = line.find("{species}")) != std::string::npos;) {
        line.replace(at, 9, species);
    }
    return line;
}

const nlohmann::json defaultStages = nlohmann::json::parse(R"([
    {"state": "queued", "position": 2, "log": ["Queued for {species}."]},
    {"state": "queued", "position": 1},
    {"state": "running", "polls": 2, "log": ["Building species {species}.", "Cooking assets."]},
    {"state": "done", "log": ["Build finished."]}
])");

const Stage cancelledStage{"cancelled", -1, 1, {"Cancelled by request."}, "Cancelled by request.",
                           0,           0};

// Index of the stage that poll number `poll` (1-based; 0 before any) falls in.
std::size_t stageAt(const std::vector<Stage>& stages, std::uint64_t poll) {
    std::uint64_t end = 0;
    for (std::size_t i = 0; i + 1 < stages.size(); ++i) {
        end += stages[i].polls;
        if (poll <= end) return i;
    }
    return stages.size() - 1;
}

}  // namespace

const Stage& Job::current() const {
    if (cancelled) return cancelledStage;
    return stages[stageAt(stages, polls)];
}

std::string Job::state() const {
    return current().state;
}

nlohmann::json Job::poll() {
    ++polls;
    const Stage& stage = current();
    nlohmann::json answer = {{"state", stage.state}};
    if (stage.position >= 0) answer["position"] = stage.position;
    if (!stage.error.empty()) answer["error"] = stage.error;
    return answer;
}

std::vector<std::string> Job::log() const {
    std::vector<std::string> lines;
    std::size_t reached = stageAt(stages, polls);
    for (std::size_t i = 0; i <= reached; ++i) {
        for (const std::string& line : stages[i].log)
            lines.push_back(withSpecies(line, species));
        for (std::uint64_t n = 0; n < stages[i].floodLines; ++n)
            lines.emplace_back(stages[i].floodBytes, 'x');
    }
    if (cancelled) lines.push_back(cancelledStage.log.front());
    return lines;
}

std::string Job::resultZip() const {
    if (!resultFile.empty()) {
        std::ifstream in(resultFile, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::pair<std::string, std::string>> files;
    for (const char* ext : {".pak", ".utoc", ".ucas"}) {
        if (std::find(omit.begin(), omit.end(), ext) != omit.end()) continue;
        files.emplace_back("species_" + species + ext, std::string(ext + 1) + " of " + species);
    }
    std::string buildLog;
    for (const std::string& line : log())
        buildLog += line + "\n";
    files.emplace_back("build.log", buildLog);
    files.insert(files.end(), extraFiles.begin(), extraFiles.end());
    return storedZip(files);
}

Job makeJob(const nlohmann::json& plan, const std::string& id, const std::string& species) {
    Job job;
    job.id = plan.value("id", id);
    job.species = plan.value("species", species);
    for (const nlohmann::json& s : plan.value("stages", defaultStages)) {
        job.stages.push_back({s.at("state").get<std::string>(), s.value("position", -1),
                              std::max<std::uint64_t>(1, s.value("polls", std::uint64_t{1})),
                              s.value("log", std::vector<std::string>{}), s.value("error", ""),
                              s.value("/flood/lines"_json_pointer, std::uint64_t{0}),
                              s.value("/flood/bytes"_json_pointer, std::uint64_t{1})});
    }
    if (job.stages.empty()) job.stages.push_back({"queued", 1, 1, {}, "", 0, 0});
    job.omit = plan.value("omit", std::vector<std::string>{});
    job.resultFile = plan.value("result", "");
    nlohmann::json files = plan.value("files", nlohmann::json::object());
    for (const auto& [name, content] : files.items()) {
        job.extraFiles.emplace_back(name, content.get<std::string>());
    }
    return job;
}
