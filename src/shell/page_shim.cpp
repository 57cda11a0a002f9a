#include "shell/page_shim.h"

#include <cstddef>

#include "bridge/text.h"
#include "platform/ascii.h"
#include "shell/embedded_content.h"

namespace {

// The shim itself is a file of the page (ui/host/), embedded like the rest of it.
constexpr std::string_view kShimRoute = "/host/serve_shim.js";

// Where the tag `<name` starts at or after `from` (letter case ignored; the name must end
// there, so "<header" is not "<head"); npos when there is none.
std::size_t findTag(std::string_view html, std::string_view name, std::size_t from) {
    for (std::size_t at = html.find('<', from); at != std::string_view::npos;
         at = html.find('<', at + 1)) {
        std::size_t end = at + 1 + name.size();
        if (end > html.size()) return std::string_view::npos;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = platform::lowerAscii(html[at + 1 + i]) == name[i];
        if (!same) continue;
        if (end == html.size()) return at;
        char next = html[end];
        if (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\n' ||
            next == '\r' || next == '\f')
            return at;
    }
    return std::string_view::npos;
}

}  // namespace

std::string pageShimScript() {
    std::string script =
        bridge::replaceAll(embeddedBytes(findRoute(kShimRoute)), "@EVENTS@", kEventsPath);
    script = bridge::replaceAll(script, "@COMMAND@", kCommandPath);
    script = bridge::replaceAll(script, "@DIALOG_LIST@", kDialogListPath);
    script = bridge::replaceAll(script, "@DIALOG_ANSWER@", kDialogAnswerPath);
    script = bridge::replaceAll(script, "@KEY_HEADER@", kPageKeyHeader);
    script = bridge::replaceAll(script, "@KEY_PARAMETER@", kPageKeyParameter);
    script = bridge::replaceAll(script, "@ASSETS@", kAssetsPrefix);
    // On a line of its own after the tag it goes into.
    return "\n" + bridge::replaceAll(script, "@SPECIES@", kSpeciesPrefix);
}

std::string injectPageShim(std::string_view html, std::string_view nonce) {
    const std::string attribute = " nonce=\"" + std::string(nonce) + "\"";
    std::string page;
    page.reserve(html.size() + 4096);
    std::size_t copied = 0;
    for (std::size_t at = findTag(html, "script", 0); at != std::string_view::npos;
         at = findTag(html, "script", at + 1)) {
        std::size_t nameEnd = at + 1 + 6;
        page.append(html.substr(copied, nameEnd - copied));
        page += attribute;
        copied = nameEnd;
    }
    page.append(html.substr(copied));

    std::string shim = "<script" + attribute + ">" + pageShimScript() + "</script>";
    std::size_t head = findTag(page, "head", 0);
    std::size_t headEnd = head == std::string::npos ? std::string::npos : page.find('>', head);
    if (headEnd != std::string::npos) {
        page.insert(headEnd + 1, shim);
    } else {
        // A page without <head> still gets the shim ahead of all its scripts.
        std::size_t script = findTag(page, "script", 0);
        page.insert(script == std::string::npos ? page.size() : script, shim);
    }
    return page;
}

std::string pageContentSecurityPolicy(std::string_view nonce) {
    return "default-src 'self'; script-src 'self' 'nonce-" + std::string(nonce) +
           "'; style-src 'self' 'unsafe-inline'; img-src 'self' data: blob:; media-src 'self' "
           "data: blob:; connect-src 'self' data: blob:; font-src 'self' data:; worker-src "
           "'self' blob:; object-src 'none'; base-uri 'none'; form-action 'none'; "
           "frame-ancestors 'none'";
}
