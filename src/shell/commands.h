#pragma once
#include <span>

#include "bridge/app.h"

// The command table, in dispatch order. Commands of features not built yet are absent and
// therefore ignored like any unknown name.
std::span<const Command> commandTable();
