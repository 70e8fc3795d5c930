// What an application does with a picture it has just loaded, each step checked.
#pragma once

#include "run_checks.h"

namespace orvel::fuzz {

/// Runs every follow-up step on `picture`, which holds a successfully loaded picture: conversion
/// to each of the six depths and onto a caller's palette, resizing down, up and to a negative
/// size, pasting in both directions and into itself, drawing through DrawDib and StretchDIBits,
/// the clipboard round trip, and saving and reading back. Every step works on a copy, so that
/// one step's failure record does not stop the next.
void FollowUp(const CConvertDib& picture, RunChecks& checks);

} // namespace orvel::fuzz
