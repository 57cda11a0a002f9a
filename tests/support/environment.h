#pragma once
// The process environment as tests change it: for the code under test, which reads it with
// std::getenv, and for the children it starts.
#include <optional>
#include <string>

// Sets the variable, or clears it when there is no value.
void setEnvironment(const std::string& name, const std::optional<std::string>& value);

// What separates the folders of PATH.
extern const char kPathListSeparator;

// The variable whose folder holds the tool's app data folder (VarraForgeset inside it).
extern const char* const kDataHomeVariable;

// PATH with `folder` searched first.
std::string pathWithFirst(const std::string& folder);

// PATH with the fakes' folder first and then only the system's own folders, so that no
// program of the machine's owner can stand in for a fake.
std::string fakesAndSystemPath();

// Whether the HTTP client takes its proxy from http_proxy and no_proxy (libcurl does);
// WinHTTP takes it from the system's settings instead.
extern const bool kProxyVariablesApply;
