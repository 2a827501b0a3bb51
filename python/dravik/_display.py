"""How a Run shows itself in Jupyter: a table with a sparkline per channel."""

import html

import numpy as np

_STATUS = {0.0: "executed", 1.0: "failed", 3.0: "inputs not taken"}


def _sparkline(values, width=160, height=24):
    """An inline SVG polyline of ``values`` (the non-finite ones left out)."""
    finite = values[np.isfinite(values)]
    if len(values) < 2 or len(finite) == 0:
        return ""
    lo, hi = float(finite.min()), float(finite.max())
    span = hi - lo or 1.0
    points = " ".join(
        f"{i * width / (len(values) - 1):.1f},{height - 2 - (v - lo) * (height - 4) / span:.1f}"
        for i, v in enumerate(values)
        if np.isfinite(v)
    )
    return (f'<svg width="{width}" height="{height}"><polyline points="{points}" '
            f'fill="none" stroke="#3572a5" stroke-width="1.5"/></svg>')


def _cell(value):
    return f"<td>{html.escape(value)}</td>"


def run_html(run):
    """An HTML table of ``run``: per watched channel its last, least and greatest value and a sparkline; per call how often it answered each status."""
    frames = run.frames
    span = f"frames {frames[0]} to {frames[-1]}" if len(frames) else "no frames"
    rows = []
    for channel in run.channels:
        values = run.values(channel)
        series = np.linalg.norm(values, axis=1) if values.ndim == 2 else values
        last = ", ".join(f"{v:.6g}" for v in values[-1]) if values.ndim == 2 and len(values) else (
            f"{values[-1]:.6g}" if len(values) else "")
        finite = series[np.isfinite(series)]
        low, high = (f"{finite.min():.6g}", f"{finite.max():.6g}") if len(finite) else ("", "")
        rows.append(f"<tr>{_cell(channel)}{_cell(last)}{_cell(low)}{_cell(high)}"
                    f"<td>{_sparkline(series)}</td></tr>")
    for call in run.calls:
        statuses = run.statuses(call)
        counts = ", ".join(f"{_STATUS.get(float(s), s)} {int((statuses == s).sum())}" for s in np.unique(statuses))
        rows.append(f"<tr>{_cell(call)}<td colspan=\"4\">{html.escape(counts)}</td></tr>")
    errors = sum(1 for m in run.messages if m.level <= 1)
    return (f"<div><b>dravik run</b>: {span}, {len(run.messages)} messages ({errors} errors)"
            "<table><tr><th>channel</th><th>last</th><th>min</th><th>max</th><th></th></tr>"
            + "".join(rows) + "</table></div>")
