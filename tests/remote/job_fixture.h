#pragma once
// A RemoteTest with a signed-in owner and a workspace "dino" whose stored job "j1" is followed
// through buildResume, for the tests of job tracking and of installing its result.
#include <string>
#include <vector>

#include "remote_fixture.h"

namespace remote {

inline const std::string kFinished =
    "Build finished. The species is in client-mods and server-mods. Restart the server to load "
    "it.";
inline const std::string kIncomplete = "The result is incomplete, the pak files are missing.";

class JobTest : public RemoteTest {
  protected:
    JobTest() {
        signIn();
        makeSpecies("dino", {});
    }

    // A job "j1" of dino with this plan, stored in the workspace and followed until the
    // tracker ends.
    std::vector<json> follow(json plan, const json& rules = json::array(),
                             const std::string& stored = "j1") {
        plan["id"] = "j1";
        plan["species"] = "dino";
        service.script({{"jobs", {plan}}, {"rules", rules}});
        writeText(jobFile("dino"), stored);
        t.send(cmd("buildResume", "name", "dino"));
        return untilIdle();
    }

    int installed() const {
        int count = 0;
        for (const char* folder : {"/client-mods/", "/server-mods/"}) {
            for (const char* ext : {".pak", ".utoc", ".ucas"})
                count += exists(t.root() + folder + "species_dino" + ext);
        }
        return count;
    }
};

inline json stages(const std::vector<json>& list) {
    return json{{"stages", list}};
}

inline json withKeys(json base, const json& more) {
    base.update(more);
    return base;
}

}  // namespace remote
