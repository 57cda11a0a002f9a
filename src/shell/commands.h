#pragma once
#include <span>

#include "bridge/app.h"

// The command table, in dispatch order: every area's rows (its commands.cpp), joined.
std::span<const bridge::Command> commandTable();
