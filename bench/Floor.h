#pragma once
// The floor of a polling scan: only the platform calls that no scan of the
// desktop's windows can do without. Enumerate the top-level windows; walk
// each one's descendants, reading class names, up to its MDI client, and
// enumerate the windows under that client; read the work area; and for every
// shown window (visible, not minimised) read its class name, title and
// rectangle. No list is kept and nothing is matched.

// One pass; returns the number of top-level windows it saw.
int RunFloorPass();

// Its two halves, for timing them apart: the enumeration with the descendant
// walk, then the work area and the reads of every shown window.
int FloorEnumerate();
void FloorReadShown();

// FloorReadShown with one more call per shown window: the owning thread's
// identifier, which a scan asks for before reading a title (for a window of
// its own process a title must be asked for with a bounded wait). Only for
// telling the scan's costs apart.
void FloorReadShownAskingThread();
