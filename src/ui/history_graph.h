// The history graph: the owner-drawn button IDC_GRAPH of the main dialog, painted from the
// traces and values of Monitor.
#pragma once

#include <windows.h>

// The answer to WM_DRAWITEM: paints the whole graph into the item's device context and returns
// TRUE when wParam is IDC_GRAPH and lParam a DRAWITEMSTRUCT; otherwise draws nothing and
// returns FALSE. Every itemAction paints alike; ODS_SELECTED (the button held down) shows the
// details overlay as DetailsShown does. No focus rectangle is drawn.
BOOL DrawHistoryGraph(HWND dialog, WPARAM wParam, LPARAM lParam);

// The answer to WM_CTLCOLORBTN: the stock black brush when lParam is the graph control,
// FALSE for any other button.
INT_PTR GraphButtonBrush(HWND dialog, LPARAM lParam);

// Trims the graph control once at dialog start so that its client area is 10 * k + 1 by
// 4 * m + 1 pixels and the grid falls on whole pixels and on all four edges. Changes nothing
// when the control or its parent cannot be found.
void SnapGraphSize(HWND dialog);
