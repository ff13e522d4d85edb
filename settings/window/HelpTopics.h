#pragma once
// Which help topic each control of the settings window, the rule editor and
// the about box asks for. The window asks the program for a topic with
// WM_USER+8, wParam 8 and the topic's context number as lParam.
#include <cstdint>

#include "help/HelpIds.h"

// The topic for a control; the page's own topic (pageTopic) for a control
// without one of its own.
uint32_t HelpTopicOf(int controlId, uint32_t pageTopic);
