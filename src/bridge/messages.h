#pragma once
#include <string>
#include <string_view>

struct App;

// Hands one finished outbound message to the host. Callable from any thread.
void postToUi(App& app, std::string json);

// {"type":"notice","error":...,"text":...}
void sendNotice(App& app, std::string_view text, bool isError);

// {"type":"speciesLog","name":...,"line":...}
void sendSpeciesLog(App& app, std::string_view name, std::string_view line);

// {"type":"speciesRemote","name":...,"state":...,"detail":...}
void sendSpeciesRemote(App& app, std::string_view name, std::string_view state,
                       std::string_view detail);
