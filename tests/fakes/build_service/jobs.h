#pragma once
// Jobs of the fake build service. A job follows a plan of stages counted in status polls, so
// a test decides exactly what each poll of the tool sees.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

struct Stage {
    std::string state;
    int position = -1;  // sent while queued; -1 leaves "position" out of the answer
    std::uint64_t polls = 1;
    std::vector<std::string> log;  // revealed when the stage is reached
    std::string error;             // sent when non-empty
    // Further log lines of `floodBytes` letters x each, for tests of huge logs that a script
    // could not carry.
    std::uint64_t floodLines = 0;
    std::uint64_t floodBytes = 0;
};

struct Job {
    std::string id;
    std::string species;
    std::vector<Stage> stages;
    std::uint64_t polls = 0;
    bool cancelled = false;
    std::vector<std::string> omit;  // extensions left out of the result, such as ".ucas"
    std::vector<std::pair<std::string, std::string>> extraFiles;
    // When set, the result is this file's bytes as they are (an archive a test made).
    std::string resultFile;

    // The stage the last poll saw (the first before any poll).
    const Stage& current() const;
    std::string state() const;
    // What GET /api/jobs/<id> answers, counting the poll.
    nlohmann::json poll();
    // Log lines revealed so far.
    std::vector<std::string> log() const;
    // The result archive: species_<name>.pak/.utoc/.ucas (less `omit`), build.log, extras.
    std::string resultZip() const;
};

// A job from a script's job object ("stages", "omit", "files", "result", "species", "id"); the
// default plan queues at 2 and 1, runs for two polls and is done.
Job makeJob(const nlohmann::json& plan, const std::string& id, const std::string& species);
