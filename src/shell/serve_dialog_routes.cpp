#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "bridge/json_read.h"
#include "shell/dialog_listing.h"
#include "shell/page_shim.h"
#include "shell/serve_host_impl.h"

// The picker's two requests: a folder listing and the answer to the dialog. Both are posts,
// so screen() has already asked for the token, the page's own origin and a JSON body; here
// they are refused unless the dialog they name is the one open now.

using namespace serve_detail;

namespace {

// The dialog a request names; 0 (no dialog has it) when the id is missing or no whole number.
std::uint64_t dialogId(const std::string& body) {
    const double id = bridge::jsonNumber(body, "id", 0);
    if (!(id >= 1 && id <= 9e15) || std::floor(id) != id) return 0;
    return static_cast<std::uint64_t>(id);
}

void answerJson(platform::ServerResponse& res, int status, const std::string& json) {
    res.status = status;
    res.setHeader("Cache-Control", "no-store");
    res.setContent(json, "application/json");
}

}  // namespace

void ServeHost::Impl::listForDialog(const Request& req, Response& res) {
    std::optional<PageDialog> dialog = dialogs.open(dialogId(req.body));
    if (!dialog) return refuse(res, 403);
    ListingRequest request;
    request.path = bridge::jsonString(req.body, "path");
    request.hidden = bridge::jsonBool(req.body, "hidden");
    const double filter = bridge::jsonNumber(req.body, "filter", 0);
    request.filter = filter >= 0 && filter < 1000 ? static_cast<std::size_t>(filter) : 0;
    answerJson(res, 200, listingJson(*dialog, request));
}

void ServeHost::Impl::answerDialog(const Request& req, Response& res) {
    std::optional<std::vector<std::string>> paths;
    if (!bridge::jsonBool(req.body, "cancel")) paths = bridge::jsonStringArray(req.body, "paths");
    switch (dialogs.answer(dialogId(req.body), std::move(paths))) {
        case DialogAnswer::taken:
            return answerJson(res, 200, "{\"ok\":true}");
        case DialogAnswer::rejected:
            return answerJson(res, 422, "{\"ok\":false}");
        case DialogAnswer::notOpen:
            return refuse(res, 403);
    }
}
