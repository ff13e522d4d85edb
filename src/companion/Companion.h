#pragma once
// Calls into the settings module beside the program, loaded afresh from
// companionPath for every call and freed after it.

// Calls the export (no arguments) synchronously; false when the module or
// the export is missing.
bool CallCompanion(const char* exportName);

enum CompanionSlot { kAboutSlot = 0, kPropertySlot = 1 };

// Runs the export on the slot's own worker thread; false (and nothing else)
// while the slot's previous worker still runs, or when no thread starts.
bool OpenCompanionWindow(CompanionSlot slot, const char* exportName);

// Waits without a time limit for the slot's worker, if one was ever started.
void WaitForCompanionWorker(CompanionSlot slot);
