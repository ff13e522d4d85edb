#pragma once
// The apply pass (ApplyTargets in Monitor.h) and the placement it uses.
#include <windows.h>

#include "monitor/ApplyCalls.h"
#include "monitor/Geometry.h"
#include "monitor/Tracked.h"
#include "shared/SharedBlock.h"

// The target's child rules over the window's MDI children, placed relative
// to the MDI client's client area (clientBox, origin 0, 0).
void ApplyChildTargets(HWND mdiClient, const Box& clientBox, TrackedWindow& entry, const TargetEntry& target,
                       PassState& pass);

// Computes the box the record asks for against the reference, writes it into
// box and moves the window there; nothing when neither a size nor a position
// action is set.
void PlaceWindow(HWND window, const Box& reference, Box& box, const TargetRecord& record);

// Bytes read of a class name or title: 128 of text and the NUL.
constexpr int kWindowTextSize = 129;
