#pragma once
#include <string>
#include <string_view>

namespace bridge {

struct App;

// Hands one finished outbound message to the host. Callable from any thread.
void postToUi(App& app, std::string json);

// {"type":"notice","error":...,"text":...}
void sendNotice(App& app, std::string_view text, bool isError);

// A job's lines and progress name a workspace of the server folder `root` the job was
// started in; they are posted only while that folder is still the one chosen, since the page
// would show them on the same-named workspace of another folder.

// {"type":"speciesLog","name":...,"line":...}
void sendSpeciesLog(App& app, const std::string& root, std::string_view name,
                    std::string_view line);

// {"type":"speciesRemote","name":...,"state":...,"detail":...}
void sendSpeciesRemote(App& app, const std::string& root, std::string_view name,
                       std::string_view state, std::string_view detail);

}  // namespace bridge
