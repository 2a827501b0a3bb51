// The report's plots, status map, graph view and message table. Reads the
// run from the JSON in #report-data (see runner/output/report_data.h);
// draws with uPlot and pans the graph with Panzoom (both inlined before
// this script).
(function () {
  'use strict';
  var data = JSON.parse(document.getElementById('report-data').textContent);
  var frames = data.x;
  var plots = [];
  var syncing = false;
  var palette = ['#1565c0', '#c62828', '#2e7d32', '#111111'];
  var statusColors = { 0: '#66bb6a', 1: '#ef5350', 3: '#ffa726' };
  var levelNames = ['alert', 'error', 'info', 'debug'];

  // Long ids are shown as their head and tail around an ellipsis, the
  // whole id on hover: the rule of ShortLabel in runner/output/short_label.h.
  var kMaxLabelChars = 32;
  function shortLabel(text) {
    var chars = Array.from(text);
    if (chars.length <= kMaxLabelChars) return text;
    var tail = Math.floor((kMaxLabelChars - 1) / 2);
    var head = kMaxLabelChars - 1 - tail;
    return chars.slice(0, head).join('') + '\u2026' + chars.slice(chars.length - tail).join('');
  }
  function setLabel(el, text) {
    el.textContent = shortLabel(text);
    if (el.textContent !== text) el.title = text;
  }
  function levelName(level) { return levelNames[level] || 'level ' + level; }
  function thousands(n) { return n.toLocaleString('en-US'); }

  function widthOf(el) {
    return Math.max(320, Math.floor(el.getBoundingClientRect().width) || 800);
  }

  // Frame axes tick at whole frames only.
  var wholeSteps = [];
  for (var p = 1; p <= 1e8; p *= 10) wholeSteps.push(p, 2 * p, 5 * p);
  function frameAxis(extra) {
    var axis = {
      label: 'frame', incrs: wholeSteps,
      values: function (u, splits) { return splits.map(function (v) { return Number.isInteger(v) ? String(v) : ''; }); }
    };
    for (var k in extra) axis[k] = extra[k];
    return axis;
  }

  // Events as dashed lines across every plot, at their frame.
  function drawEvents(u) {
    if (!data.events.length) return;
    var ctx = u.ctx;
    var box = u.bbox;
    ctx.save();
    ctx.strokeStyle = 'rgba(106, 27, 154, 0.7)';
    ctx.lineWidth = Math.max(1, uPlot.pxRatio);
    ctx.setLineDash([4 * uPlot.pxRatio, 3 * uPlot.pxRatio]);
    data.events.forEach(function (e) {
      var px = Math.round(u.valToPos(e.frame, 'x', true));
      if (px < box.left || px > box.left + box.width) return;
      ctx.beginPath();
      ctx.moveTo(px, box.top);
      ctx.lineTo(px, box.top + box.height);
      ctx.stroke();
    });
    ctx.restore();
  }

  // A status timeline paints each frame's cell in its status's colour.
  function drawStatusCells(u) {
    var ctx = u.ctx;
    var box = u.bbox;
    var ys = u.data[1];
    ctx.save();
    for (var i = 0; i < frames.length; i++) {
      var color = statusColors[ys[i]];
      if (color === undefined || ys[i] === null) color = '#bdbdbd';
      var left = u.valToPos(frames[i] - 0.5 * data.stride, 'x', true);
      var right = u.valToPos(frames[i] + 0.5 * data.stride, 'x', true);
      left = Math.max(left, box.left);
      right = Math.min(right, box.left + box.width);
      if (right <= left) continue;
      ctx.fillStyle = color;
      ctx.globalAlpha = 0.35;
      ctx.fillRect(left, box.top, Math.max(1, right - left), box.height);
    }
    ctx.restore();
  }

  // Zooming one plot zooms them all to the same frames.
  function shareZoom(u, key) {
    if (key !== 'x' || syncing) return;
    syncing = true;
    var min = u.scales.x.min;
    var max = u.scales.x.max;
    plots.forEach(function (other) {
      if (other !== u) other.setScale('x', { min: min, max: max });
    });
    syncing = false;
  }

  function makePlot(container, series, columns, options) {
    var opts = {
      width: widthOf(container),
      height: options.height,
      cursor: { sync: { key: 'frames', setSeries: false }, drag: { x: true, y: false } },
      scales: { x: { time: false }, y: options.yScale || {} },
      axes: [frameAxis(options.xAxis || {}), options.yAxis || {}],
      series: [{ label: 'frame' }].concat(series),
      hooks: {
        drawClear: options.under ? [options.under] : [],
        draw: [drawEvents, function () { container.setAttribute('data-drawn', '1'); }],
        setScale: [shareZoom]
      }
    };
    var u = new uPlot(opts, [frames].concat(columns), container);
    plots.push(u);
    return u;
  }

  function heading(parent, id, name) {
    var h = document.createElement('h3');
    setLabel(h, id);
    if (name && name !== id) {
      var span = document.createElement('span');
      span.className = 'engine-name';
      span.textContent = ' ' + name;
      h.appendChild(span);
    }
    parent.appendChild(h);
  }

  function container(parentId, className, channelId) {
    var box = document.createElement('div');
    box.className = className;
    box.setAttribute('data-channel', channelId);
    document.getElementById(parentId).appendChild(box);
    return box;
  }

  data.plots.forEach(function (p) {
    var box = container('plots', 'plot', p.id);
    heading(box, p.id, p.name);
    var names = p.vector ? ['x', 'y', 'z', 'length'] : ['value'];
    var series = names.map(function (n, i) {
      return { label: n, stroke: palette[p.vector ? i : 0], width: n === 'length' ? 2 : 1.5, spanGaps: false };
    });
    makePlot(box, series, names.map(function (n) { return p.series[n]; }), { height: 220 });
  });

  data.timelines.forEach(function (c) {
    var box = container('timelines', 'plot timeline', c.id);
    heading(box, c.id, c.name);
    makePlot(box, [{
      label: 'status', stroke: '#424242', width: 1.5,
      paths: uPlot.paths.stepped({ align: 1 }),
      value: function (u, v) {
        return v === null ? '' : v + (v === 0 ? ' executed' : v === 1 ? ' failed' : v === 3 ? ' no inputs' : '');
      }
    }], [c.status], {
      height: 140,
      under: drawStatusCells,
      xAxis: { size: 30 },
      yScale: { range: [-0.3, 3.3] },
      yAxis: { splits: function () { return [0, 1, 3]; }, size: 40 }
    });
  });
  if (!data.timelines.length) {
    var none = document.createElement('p');
    none.className = 'hint';
    none.textContent = 'No call is watched.';
    document.getElementById('timelines').appendChild(none);
  }

  window.addEventListener('resize', function () {
    plots.forEach(function (u) { u.setSize({ width: widthOf(u.root.parentNode), height: u.height }); });
    drawHeat();
  });

  // ---------------------------------------------------------------- status map
  // Every call by frames: a row per call (the most severe first), a cell
  // per span of frames. When there are more rows in view than pixels, each
  // pixel row shows the most severe cell of the rows it covers.
  var heat = data.heat;
  var heatRows = heat.ids.length;
  var heatIds = new Array(heatRows);
  (function () {
    var before = '';
    for (var i = 0; i < heatRows; i++) {
      var entry = heat.ids[i];
      before = before.slice(0, entry.charCodeAt(0) - 48) + entry.slice(1);
      heatIds[i] = before;
    }
  })();
  var cellColors = ['#ffffff', '#66bb6a', '#9e9e9e', '#ffa726', '#ef5350'];
  var cellNames = ['not run', 'executed (0)', 'another status', 'inputs not taken (3)', 'failed (1)'];
  var canvas = document.getElementById('heat-map');
  var tip = document.getElementById('heat-tip');
  var axisHeight = 20;
  var mapHeight = heatRows <= 40 ? Math.max(heatRows, 1) * 12 : 400;
  // At first the failed calls stand out: a few pixels a row, or one.
  var view = { top: 0, span: Math.min(heatRows, mapHeight, Math.max(40, 4 * (heat.worst[4] + heat.worst[3]))) };
  function cell(row, column) { return heat.cells.charCodeAt(row * heat.columns + column) - 48; }
  function frameOf(column) { return heat.first + column * heat.span; }
  // The rows band b of the map covers, [from, to): a row per band, or as
  // many rows as there are in view per pixel row.
  function bands() { return Math.min(view.span, mapHeight); }
  function band(b) {
    var from = view.top + Math.floor(b * view.span / bands());
    return [from, Math.min(heatRows, Math.max(from + 1, view.top + Math.floor((b + 1) * view.span / bands())))];
  }
  function drawHeat() {
    if (!heatRows || !heat.columns) {
      canvas.style.display = 'none';
      return;
    }
    var ratio = window.devicePixelRatio || 1;
    var width = widthOf(canvas.parentNode) - 2;
    canvas.style.width = width + 'px';
    canvas.style.height = (mapHeight + axisHeight) + 'px';
    canvas.width = Math.round(width * ratio);
    canvas.height = Math.round((mapHeight + axisHeight) * ratio);
    var ctx = canvas.getContext('2d');
    ctx.setTransform(ratio, 0, 0, ratio, 0, 0);
    ctx.fillStyle = '#ffffff';
    ctx.fillRect(0, 0, width, mapHeight + axisHeight);
    var columnWidth = width / heat.columns;
    var rowHeight = mapHeight / view.span;
    for (var b = 0; b < bands(); b++) {
      var rows = band(b);
      var from = rows[0];
      var to = rows[1];
      var y = axisHeight + (from - view.top) * rowHeight;
      var h = Math.max(1, (to - from) * rowHeight);
      for (var c = 0; c < heat.columns; c++) {
        var worst = 0;
        for (var r = from; r < to; r++) worst = Math.max(worst, cell(r, c));
        ctx.fillStyle = cellColors[worst];
        ctx.fillRect(c * columnWidth, y, Math.max(1, columnWidth - (columnWidth > 4 ? 1 : 0)), h);
      }
    }
    // Frame ticks, whole frames only, at most one per 60 pixels.
    ctx.fillStyle = '#616161';
    ctx.font = '11px system-ui, sans-serif';
    var framesShown = heat.columns * heat.span;
    var step = wholeSteps.find(function (s) { return s * width / framesShown >= 60; }) || framesShown;
    for (var f = Math.ceil(heat.first / step) * step; f < heat.first + framesShown; f += step) {
      var x = (f - heat.first) / framesShown * width;
      ctx.fillRect(x, axisHeight - 5, 1, 5);
      ctx.fillText(String(f), Math.min(x + 2, width - 40), axisHeight - 7);
    }
    document.getElementById('heat-summary').textContent = heatSummary();
    canvas.setAttribute('data-calls', String(heatRows));
  }
  function heatSummary() {
    var w = heat.worst;
    var parts = [thousands(heatRows) + ' calls'];
    if (w[4]) parts.push(thousands(w[4]) + ' failed');
    if (w[3]) parts.push(thousands(w[3]) + ' had inputs not taken');
    if (w[2]) parts.push(thousands(w[2]) + ' answered another status');
    if (w[1]) parts.push(thousands(w[1]) + ' always executed');
    if (w[0]) parts.push(thousands(w[0]) + ' never ran');
    return parts.join(', ') + ' \u00b7 rows ' + thousands(view.top + 1) + '\u2013' +
           thousands(Math.min(heatRows, view.top + view.span)) + ' of ' + thousands(heatRows) +
           (heat.span > 1 ? ' \u00b7 a cell is ' + heat.span + ' frames' : '');
  }
  function moveHeat(top, span) {
    view.span = Math.max(1, Math.min(heatRows, Math.round(span)));
    view.top = Math.max(0, Math.min(heatRows - view.span, Math.round(top)));
    drawHeat();
  }
  canvas.addEventListener('wheel', function (e) {
    e.preventDefault();
    moveHeat(view.top + Math.sign(e.deltaY) * Math.max(1, view.span / 8), view.span);
  }, { passive: false });
  document.querySelectorAll('[data-rows]').forEach(function (button) {
    button.addEventListener('click', function () {
      var what = button.getAttribute('data-rows');
      var middle = view.top + view.span / 2;
      var span = what === 'in' ? view.span / 2 : what === 'out' ? view.span * 2 : heatRows;
      moveHeat(what === 'all' ? 0 : middle - span / 2, span);
    });
  });
  canvas.addEventListener('mousemove', function (e) {
    var box = canvas.getBoundingClientRect();
    var y = e.clientY - box.top - axisHeight;
    var column = Math.floor((e.clientX - box.left) / box.width * heat.columns);
    if (y < 0 || column < 0 || column >= heat.columns) {
      tip.style.display = 'none';
      return;
    }
    var rows = band(Math.min(bands() - 1, Math.floor(y * bands() / mapHeight)));
    var row = rows[0];
    for (var r = rows[0]; r < rows[1]; r++) {
      if (cell(r, column) > cell(row, column)) row = r;
    }
    if (row >= heatRows) return;
    var first = frameOf(column);
    var last = Math.min(first + heat.span - 1, frames.length ? frames[frames.length - 1] : first);
    tip.textContent = heatIds[row] + ' \u00b7 ' + (first === last ? 'frame ' + first : 'frames ' + first + '\u2013' + last) +
                      ': ' + cellNames[cell(row, column)] +
                      (rows[1] - rows[0] > 1 ? ' (the worst of rows ' + thousands(rows[0] + 1) + '\u2013' +
                                               thousands(rows[1]) + ')' : '');
    tip.style.display = 'block';
    tip.style.left = Math.min(e.clientX - box.left + 12, box.width - 260) + 'px';
    tip.style.top = (e.clientY - box.top + 14) + 'px';
  });
  canvas.addEventListener('mouseleave', function () { tip.style.display = 'none'; });
  drawHeat();

  // ---------------------------------------------------------------- graph
  var graphView = document.getElementById('graph-view');
  if (graphView && window.Panzoom) {
    var svg = graphView.querySelector('svg');
    var panzoom = Panzoom(svg, { maxScale: 60, minScale: 0.2, step: 0.3, canvas: true });
    graphView.addEventListener('wheel', panzoom.zoomWithWheel);
    document.querySelectorAll('[data-zoom]').forEach(function (button) {
      button.addEventListener('click', function () {
        var what = button.getAttribute('data-zoom');
        if (what === 'in') panzoom.zoomIn();
        else if (what === 'out') panzoom.zoomOut();
        else panzoom.reset();
      });
    });
  }

  // ---------------------------------------------------------------- messages
  // One row per level, text and channel, with its count and frames; rows of
  // channels past what a text lists, and texts past what the table holds,
  // are folded and said so.
  var messages = data.messages;
  var tbody = document.querySelector('#messages tbody');
  function rangesText(row) {
    if (row.between) {
      return row.between[0] === row.between[1] ? 'frame ' + row.between[0]
                                               : 'between ' + row.between[0] + ' and ' + row.between[1];
    }
    var text = row.frames.map(function (r) { return r[0] === r[1] ? String(r[0]) : r[0] + '\u2013' + r[1]; }).join(', ');
    if (row.framesMore) text += ' and ' + thousands(row.framesMore) + ' more, to ' + row.last;
    return text;
  }
  function td(row, className, text) {
    var cell = document.createElement('td');
    if (className) cell.className = className;
    if (text !== undefined) cell.textContent = text;
    row.appendChild(cell);
    return cell;
  }
  var tableRows = messages.rows.map(function (m) {
    var t = messages.texts[m.t];
    var tr = document.createElement('tr');
    tr.setAttribute('data-level', String(t.level));
    td(tr, 'level', levelName(t.level));
    var channel = td(tr, 'channel');
    if (m.others !== undefined) {
      channel.className += ' others';
      channel.textContent = m.others ? thousands(m.others) + (m.more ? '+' : '') + ' more channels' : 'more channels';
      tr.setAttribute('data-channel', '*');
    } else {
      if (m.channel === null) {
        channel.textContent = '(none)';
      } else {
        setLabel(channel, m.channel);
      }
      tr.setAttribute('data-channel', m.channel === null ? '' : m.channel);
    }
    td(tr, 'count', thousands(m.count));
    td(tr, 'frames', rangesText(m));
    td(tr, 'text', t.text + (t.cut ? ' \u2026 (cut)' : ''));
    tr.setAttribute('data-count', String(m.count));
    tbody.appendChild(tr);
    return { tr: tr, level: String(t.level), search: (t.text + ' ' + (m.channel || '')).toLowerCase() };
  });
  var folded = messages.folded.map(function (f) {
    return thousands(f.count) + ' ' + levelName(f.level) + ' messages (frames ' + f.first + '\u2013' + f.last + ')';
  });
  var foldedNote = document.getElementById('message-folded');
  foldedNote.textContent = folded.length
    ? 'Not listed, as the table would be too long: ' + folded.join(', ') + '. Errors are listed before info lines.'
    : '';
  foldedNote.setAttribute('data-folded', String(messages.folded.reduce(function (n, f) { return n + f.count; }, 0)));
  var textFilter = document.getElementById('message-text');
  var levelFilter = document.getElementById('message-level');
  var shown = document.getElementById('message-count');
  function filter() {
    var needle = textFilter.value.toLowerCase();
    var count = 0;
    var total = 0;
    tableRows.forEach(function (r) {
      var show = (levelFilter.value === '' || r.level === levelFilter.value) &&
                 (needle === '' || r.search.indexOf(needle) >= 0);
      r.tr.hidden = !show;
      if (show) {
        count++;
        total += Number(r.tr.getAttribute('data-count'));
      }
    });
    shown.textContent = thousands(count) + ' of ' + thousands(tableRows.length) + ' rows, ' + thousands(total) +
                        ' of ' + thousands(messages.total) + ' messages';
  }
  [textFilter, levelFilter].forEach(function (el) { el.addEventListener('input', filter); });
  filter();
  document.body.setAttribute('data-ready', '1');
})();
