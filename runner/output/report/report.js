// The report's plots, timelines and message filter. Reads the run from the
// JSON in #report-data; draws with uPlot (inlined before this script).
(function () {
  'use strict';
  var data = JSON.parse(document.getElementById('report-data').textContent);
  var frames = data.x;
  var plots = [];
  var syncing = false;
  var palette = ['#1565c0', '#c62828', '#2e7d32', '#111111'];
  var statusColors = { 0: '#66bb6a', 1: '#ef5350', 3: '#ffa726' };

  function widthOf(el) {
    return Math.max(320, Math.floor(el.getBoundingClientRect().width) || 800);
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
      axes: [options.xAxis || { label: 'frame' }, options.yAxis || {}],
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
    h.textContent = id;
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

  data.calls.forEach(function (c) {
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

  window.addEventListener('resize', function () {
    plots.forEach(function (u) { u.setSize({ width: widthOf(u.root.parentNode), height: u.height }); });
  });

  // The message table: filter by level, channel and text.
  var rows = Array.prototype.slice.call(document.querySelectorAll('#messages tbody tr'));
  var text = document.getElementById('message-text');
  var level = document.getElementById('message-level');
  var channel = document.getElementById('message-channel');
  var shown = document.getElementById('message-count');
  var ids = {};
  rows.forEach(function (r) { ids[r.getAttribute('data-channel')] = true; });
  Object.keys(ids).sort().forEach(function (id) {
    var option = document.createElement('option');
    option.value = id;
    option.textContent = id === '' ? '(none)' : id;
    channel.appendChild(option);
  });
  function filter() {
    var needle = text.value.toLowerCase();
    var count = 0;
    rows.forEach(function (r) {
      var show = (level.value === '' || r.getAttribute('data-level') === level.value) &&
                 (channel.value === '*' || r.getAttribute('data-channel') === channel.value) &&
                 (needle === '' || r.textContent.toLowerCase().indexOf(needle) >= 0);
      r.hidden = !show;
      if (show) count++;
    });
    shown.textContent = count + ' of ' + rows.length;
  }
  [text, level, channel].forEach(function (el) { el.addEventListener('input', filter); });
  filter();
  document.body.setAttribute('data-ready', '1');
})();
