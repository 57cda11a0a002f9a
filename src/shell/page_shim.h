#pragma once
#include <string>
#include <string_view>

// In a browser the page has no web view to talk to, so the browser host gives it a small
// script with the same face: window.chrome.webview with postMessage, the message event and
// the base URLs of the two folders.

// Where the page posts its commands and where it listens for the host's messages.
inline constexpr std::string_view kCommandPath = "/_host/command";
inline constexpr std::string_view kEventsPath = "/_host/events";
// Where the page's picker lists a folder and answers a dialog the host asked it to show.
inline constexpr std::string_view kDialogListPath = "/_host/dialog/list";
inline constexpr std::string_view kDialogAnswerPath = "/_host/dialog/answer";
// How the page shows the token with its posts (a header) and on its event stream (a query
// parameter, since an event source cannot set headers).
inline constexpr std::string_view kPageKeyHeader = "X-Forgeset-Token";
inline constexpr std::string_view kPageKeyParameter = "key";
// The URL prefixes of the two served folders.
inline constexpr std::string_view kAssetsPrefix = "/assets/";
inline constexpr std::string_view kSpeciesPrefix = "/species/";

// The script (without its tag).
std::string pageShimScript();

// The page with the shim as the first thing in <head>, ahead of every other script, and the
// nonce on the shim and on every script tag of the page, so the page's own inline scripts
// (the error hook, the import map) run under a policy that refuses all other inline script.
std::string injectPageShim(std::string_view html, std::string_view nonce);

// The Content-Security-Policy of the page: scripts only from this host or carrying the nonce;
// images, media and fetches also from blob: and data: URLs, which the model loaders make;
// no plug-ins, no framing, no forms, no base URL.
std::string pageContentSecurityPolicy(std::string_view nonce);

// The policy of files served from the folders: should one of them be opened as a document
// (an .html or .svg in a species folder), it runs in a sandbox without scripts or our
// origin, so it cannot send commands.
inline constexpr std::string_view kFolderFilePolicy = "sandbox; default-src 'none'";
