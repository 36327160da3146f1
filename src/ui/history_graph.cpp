#include "ui/history_graph.h"

#include "core/gpu_monitor.h"
#include "core/text_rules.h"
#include "resource.h"
#include "ui/graph_rules.h"

static_assert(TextFormat::Center == DT_CENTER && TextFormat::Right == DT_RIGHT &&
              TextFormat::VCenter == DT_VCENTER && TextFormat::Bottom == DT_BOTTOM &&
              TextFormat::SingleLine == DT_SINGLELINE && TextFormat::NoClip == DT_NOCLIP &&
              TextFormat::NoPrefix == DT_NOPREFIX);

namespace {

HFONT CreateGraphFont(int height, int weight) {
    LOGFONTA font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    CopyText(font.lfFaceName, GraphFontFace);
    return CreateFontIndirectA(&font);
}

void DrawGridLines(HDC dc, const GraphRect& item) {
    GridLines rows = HorizontalGridLines(item.Bottom - item.Top);
    for (int i = 0; i < rows.Count; ++i) {
        MoveToEx(dc, item.Left, item.Top + rows.Offset[i], nullptr);
        LineTo(dc, item.Right, item.Top + rows.Offset[i]);
    }
    GridLines columns = VerticalGridLines(item.Right - item.Left);
    for (int i = 0; i < columns.Count; ++i) {
        MoveToEx(dc, item.Left + columns.Offset[i], item.Top, nullptr);
        LineTo(dc, item.Left + columns.Offset[i], item.Bottom);
    }
}

// A pen or font that cannot be created is skipped: the step draws with what the device context
// holds, and nothing is selected back or deleted for it.
void DrawGrid(HDC dc, const GraphRect& item, COLORREF color) {
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ previous = pen != nullptr ? SelectObject(dc, pen) : nullptr;
    DrawGridLines(dc, item);
    if (previous != nullptr)
        SelectObject(dc, previous);
    if (pen != nullptr)
        DeleteObject(pen);
}

void DrawTrace(HDC dc, const GraphRect& item, const HistoryTrace& trace, std::uint32_t scale,
               COLORREF color) {
    TracePath path = TracePoints(trace, scale, item);
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ previous = pen != nullptr ? SelectObject(dc, pen) : nullptr;
    MoveToEx(dc, path.Start.X, path.Start.Y, nullptr);
    for (int i = 0; i < path.Count; ++i)
        LineTo(dc, path.Point[i].X, path.Point[i].Y);
    if (previous != nullptr)
        SelectObject(dc, previous);
    if (pen != nullptr)
        DeleteObject(pen);
}

void DrawOverlay(HDC dc, const RECT& item, std::uint32_t scale, int fontHeight) {
    OverlayLabels labels = BuildOverlayLabels({scale, item.right - item.left, Monitor.Interval,
                                               Monitor.PeakTemperature, Monitor.AmbientTemperature,
                                               Monitor.LimitTemperature});
    HFONT font = CreateGraphFont(fontHeight, LabelFontWeight);
    HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    for (int i = 0; i < labels.Count; ++i) {
        RECT area = item;
        DrawTextA(dc, labels.Label[i].Text, -1, &area, labels.Label[i].Format);
    }
    if (previous != nullptr)
        SelectObject(dc, previous);
    if (font != nullptr)
        DeleteObject(font);
}

void DrawCurrentTemperature(HDC dc, const RECT& item, int fontHeight) {
    HFONT font = CreateGraphFont(fontHeight, CurrentFontWeight);
    HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    char text[MessageCapacity];
    CurrentTemperatureText(text, sizeof text, Monitor.ShownTemperature[0],
                           Monitor.ShownTemperature[1], Monitor.DualGpu);
    RECT area = item;
    DrawTextA(dc, text, -1, &area, CurrentTemperatureFormat);
    if (previous != nullptr)
        SelectObject(dc, previous);
    if (font != nullptr)
        DeleteObject(font);
}

// Straight into the item's device context, back to front: background, grid, trace 2, trace 1,
// overlay, current temperature. The text attributes are put back as they were found.
void PaintGraph(HDC dc, const RECT& rect, bool held) {
    const GraphRect item = {rect.left, rect.top, rect.right, rect.bottom};
    GraphFontHeights fonts = GraphFontHeightsFor(GetDeviceCaps(dc, LOGPIXELSY));
    GraphColors colors = GraphPalette(IsMonochromeNearestRed(GetNearestColor(dc, RGB(255, 0, 0))));

    COLORREF oldText = SetTextColor(dc, colors.Text);
    COLORREF oldBack = SetBkColor(dc, colors.Background);
    int oldMode = SetBkMode(dc, TRANSPARENT);

    PatBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, BLACKNESS);
    DrawGrid(dc, item, colors.Grid);

    std::uint32_t scale = GraphScale(Monitor.Trace[0], Monitor.Trace[1], Monitor.DualGpu);
    if (Monitor.DualGpu)
        DrawTrace(dc, item, Monitor.Trace[1], scale, colors.Trace2);
    DrawTrace(dc, item, Monitor.Trace[0], scale, colors.Trace1);

    if (Monitor.DetailsShown || held)
        DrawOverlay(dc, rect, scale, fonts.Label);
    DrawCurrentTemperature(dc, rect, fonts.Current);

    if (oldMode != 0)
        SetBkMode(dc, oldMode);
    if (oldBack != CLR_INVALID)
        SetBkColor(dc, oldBack);
    if (oldText != CLR_INVALID)
        SetTextColor(dc, oldText);
}

} // namespace

BOOL DrawHistoryGraph(HWND /*dialog*/, WPARAM wParam, LPARAM lParam) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    if (item == nullptr || wParam != IDC_GRAPH)
        return FALSE;
    PaintGraph(item->hDC, item->rcItem, (item->itemState & ODS_SELECTED) != 0);
    return TRUE;
}

INT_PTR GraphButtonBrush(HWND dialog, LPARAM lParam) {
    HWND graph = GetDlgItem(dialog, IDC_GRAPH);
    if (graph == nullptr || reinterpret_cast<HWND>(lParam) != graph)
        return FALSE;
    return reinterpret_cast<INT_PTR>(GetStockObject(BLACK_BRUSH));
}

void SnapGraphSize(HWND dialog) {
    HWND graph = GetDlgItem(dialog, IDC_GRAPH);
    HWND parent = graph != nullptr ? GetParent(graph) : nullptr;
    if (parent == nullptr)
        return;
    RECT window;
    RECT client;
    if (!GetWindowRect(graph, &window) || !GetClientRect(graph, &client))
        return;
    POINT topLeft = {window.left, window.top};
    POINT bottomRight = {window.right, window.bottom};
    ScreenToClient(parent, &topLeft);
    ScreenToClient(parent, &bottomRight);
    GraphPlacement placement =
        SnapGraphPlacement({topLeft.x, topLeft.y, bottomRight.x, bottomRight.y},
                           client.right - client.left, client.bottom - client.top);
    MoveWindow(graph, placement.X, placement.Y, placement.Width, placement.Height, FALSE);
}
