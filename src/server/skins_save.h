#pragma once
#include <string>

namespace server {

// skins.json (what the page edits) and skins.lua (what the server reads) are one document
// in two forms, written by two renames. A tool stopped between them would leave the server
// on the old list while the page shows the new one, so a save is first recorded whole in
// skins.pending beside them; the pair is replaced from that record and the record removed.
// Whoever finds the record later completes the save.

enum class SkinsWrite { done, jsonFailed, luaFailed };

// Records both texts, then replaces both files from the record. A record that cannot be
// written counts as skins.json failing: nothing has changed.
[[nodiscard]] SkinsWrite saveSkinsPair(const std::string& folder, const std::string& json,
                                       const std::string& lua);

// Completes a save that was stopped after its record was made; done when there is none.
SkinsWrite finishSkinsSave(const std::string& folder);

}  // namespace server
