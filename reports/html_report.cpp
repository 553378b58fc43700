#include "reports/html_report.h"

#include "support/error_reporting.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string_view>

namespace halvo::reports {

namespace {

// Above this many zones the chart shows how pctIS is spread, not each zone.
constexpr std::size_t kBarsUpTo = 60;
// Up to this many zones the map draws a path per zone, titled with its
// figures, and the table has a row per zone. Above it a browser would take
// seconds to build and lay out those elements, so the map draws one path per
// class, the table shows its first rows, and every zone's figures are one
// block of text the script pages through.
constexpr std::size_t kEveryZoneUpTo = 2000;
constexpr std::size_t kFirstRows = 100;
// A large map is cut into this many tiles a side; each class draws a path a
// tile. A browser paints a part of the map from the paths that reach into
// it, so one path of a whole class would be walked for every part it paints.
constexpr int kTilesAcross = 8;
// A tile's number as one character of a zone's entry in the map's data-tiles.
constexpr std::string_view kTileDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-_";
static_assert(kTileDigits.size() >= kTilesAcross * kTilesAcross);

std::string esc(const std::string& s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

// Fixed decimals, "." whatever the locale.
std::string fixed(double v, int decimals)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

std::string num(double v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string opt(const std::optional<double>& v, int decimals) { return v ? fixed(*v, decimals) : ""; }

// The class name of the legend's class `i`. (Built in place: GCC 12 warns
// falsely on "k" + std::to_string(i).)
std::string classKey(std::size_t i)
{
    std::string key = std::to_string(i);
    key.insert(key.begin(), 'k');
    return key;
}

// "k0".."k2" by the legend's classes, "kn" for a zone without figures.
std::string classOf(const std::optional<double>& percent, const std::vector<HtmlClass>& classes)
{
    if (!percent || classes.empty())
        return "kn";
    for (std::size_t i = 0; i + 1 < classes.size(); ++i)
        if (*percent <= classes[i].upper)
            return classKey(i);
    return classKey(classes.size() - 1);
}

std::string plural(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A round length near a quarter of `span` (in metres, or feet), and its text.
std::pair<double, std::string> scaleLength(double span, bool feet)
{
    const double target = span / 4;
    const double power = std::pow(10.0, std::floor(std::log10(target)));
    double length = power;
    for (double m : {2.0, 5.0, 10.0})
        if (power * m <= target)
            length = power * m;
    if (feet)
        return {length, num(length) + " ft"};
    if (length >= 1000)
        return {length, num(length / 1000) + " km"};
    return {length, num(length) + " m"};
}

std::string mapSvg(const HtmlPage& p, const std::vector<std::string>& classOfZone,
                   const std::vector<std::string>& titles, const std::string& summary)
{
    const auto& s = p.shapes;
    // The view's coordinates are the layer's, y turned down; degrees of
    // longitude are narrowed to their length at the middle latitude, so
    // shapes and the scale bar keep their proportions.
    const bool degrees = s.mapUnits == 11;
    const double kx = degrees ? std::cos((s.minY + s.maxY) / 2 * 3.14159265358979 / 180) : 1;
    const double metresPerUnit = degrees ? 111320 : 1;  // a degree of latitude
    const double w = std::max(s.maxX - s.minX, s.step) * kx, h = std::max(s.maxY - s.minY, s.step);
    const double pad = std::max(w, h) * 0.02, font = std::max(w, h) * 0.022;
    std::string out = "<svg id=\"map\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" + num(s.minX * kx - pad) + " " +
                      num(-s.maxY - pad) + " " + num(w + 2 * pad) + " " + num(h + 3 * pad + font) +
                      "\" role=\"img\" aria-labelledby=\"map-alt\"";
    // Each zone's class, a letter a zone, and the zones without a shape, and
    // on a large map the tile of each: the script finds a zone's row from them.
    const bool tiled = titles.empty();
    const double across = std::max(std::max(s.maxX - s.minX, s.maxY - s.minY) / s.step, 1.0);
    std::vector<int> tileOf(classOfZone.size(), 0);
    std::string letters, tiles, undrawn;
    for (std::size_t i = 0; i < classOfZone.size(); ++i) {
        letters += classOfZone[i].back();
        if (i >= s.paths.size() || s.paths[i].empty()) {
            undrawn += (undrawn.empty() ? "" : " ") + std::to_string(i);
        } else if (tiled) {
            const auto& b = s.boxes[i];
            auto at = [&](long low, long high) {
                return std::clamp(static_cast<int>(static_cast<double>(low + high) / 2 / across * kTilesAcross), 0,
                                  kTilesAcross - 1);
            };
            tileOf[i] = at(b.top, b.bottom) * kTilesAcross + at(b.left, b.right);
        }
        if (tiled)
            tiles += kTileDigits[static_cast<std::size_t>(tileOf[i])];
    }
    out += " data-classes=\"" + letters + "\" data-undrawn=\"" + undrawn + "\"" +
           (tiled ? " data-tiles=\"" + tiles + "\"" : std::string()) + "><title id=\"map-alt\">" + esc(summary) +
           "</title>\n";
    // The paths are on the grid of `step`.
    out += "<g class=\"zones\" transform=\"matrix(" + num(s.step * kx) + " 0 0 " + num(s.step) + " " +
           num(s.minX * kx) + " " + num(-s.maxY) + ")\">\n";
    std::map<std::string, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < classOfZone.size() && i < s.paths.size(); ++i)
        if (!s.paths[i].empty())
            groups[classOfZone[i]].push_back(i);
    for (auto& [cls, members] : groups) {
        out += "<g class=\"" + cls + "\">";
        if (tiled) {
            // By tile, and in the layer's order within one.
            std::stable_sort(members.begin(), members.end(),
                             [&](std::size_t a, std::size_t b) { return tileOf[a] < tileOf[b]; });
            for (std::size_t k = 0; k < members.size(); ++k) {
                if (k == 0 || tileOf[members[k]] != tileOf[members[k - 1]])
                    out += (k == 0 ? "<path d=\"" : "\"/>\n<path d=\"");
                out += s.paths[members[k]];
            }
            out += "\"/>";
        } else {
            for (std::size_t i : members)
                out += "<path d=\"" + s.paths[i] + "\"><title>" + esc(titles[i]) + "</title></path>\n";
        }
        out += "</g>\n";
    }
    out += "</g>\n";
    const auto [length, label] = scaleLength(w * metresPerUnit, s.mapUnits == 3);
    const double x = s.minX * kx, y = -s.minY + pad + font, bar = font * 0.4, drawn = length / metresPerUnit;
    out += "<g class=\"scale\"><rect x=\"" + num(x) + "\" y=\"" + num(y - bar) + "\" width=\"" + num(drawn) +
           "\" height=\"" + num(bar) + "\"/><text x=\"" + num(x + drawn + font * 0.3) + "\" y=\"" + num(y) +
           "\" font-size=\"" + num(font) + "\">" + (degrees ? "about " : "") + esc(label) + "</text></g>\n";
    return out + "</svg>\n";
}

std::string chartSvg(const HtmlPage& p, const std::vector<std::string>& classOfZone, const std::string& summary)
{
    std::string out = "<svg class=\"chart\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" "
                      "aria-labelledby=\"chart-alt\" viewBox=\"0 0 800 ";
    const double left = 210, right = 760;
    auto line = [&](double x, double top, double bottom, const std::string& label) {
        return "<line class=\"th\" x1=\"" + num(x) + "\" x2=\"" + num(x) + "\" y1=\"" + num(top) + "\" y2=\"" +
               num(bottom) + "\"/><text x=\"" + num(x) + "\" y=\"" + num(top - 6) + "\" text-anchor=\"middle\">" +
               label + "</text>\n";
    };
    std::vector<double> breaks;
    for (std::size_t i = 0; i + 1 < p.classes.size(); ++i)
        breaks.push_back(std::round(p.classes[i].upper));
    if (p.zones.size() <= kBarsUpTo) {
        std::vector<std::size_t> order;
        double top = 30;
        for (std::size_t i = 0; i < p.zones.size(); ++i)
            if (p.zones[i].percent) {
                order.push_back(i);
                top = std::max(top, std::ceil(*p.zones[i].percent / 10) * 10);
            }
        top = std::min(top, 100.0);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return *p.zones[a].percent > *p.zones[b].percent; });
        const double row = 22, y0 = 30, height = y0 + row * static_cast<double>(order.size()) + 30;
        auto xOf = [&](double pct) { return left + (right - left) * std::min(pct, top) / top; };
        out += num(height) + "\"><title id=\"chart-alt\">" + esc(summary) + "</title>\n";
        double y = y0;
        for (std::size_t i : order) {
            const auto& z = p.zones[i];
            std::string name = z.zone.size() > 28 ? z.zone.substr(0, 27) + "\u2026" : z.zone;
            out += "<text x=\"" + num(left - 8) + "\" y=\"" + num(y + 15) + "\" text-anchor=\"end\">" + esc(name) +
                   "</text><rect class=\"" + classOfZone[i] + "\" x=\"" + num(left) + "\" y=\"" + num(y + 3) +
                   "\" width=\"" + num(xOf(*z.percent) - left) + "\" height=\"" + num(row - 6) + "\"/><text x=\"" +
                   num(xOf(*z.percent) + 4) + "\" y=\"" + num(y + 15) + "\">" + fixed(*z.percent, 1) + "</text>\n";
            y += row;
        }
        for (double b : breaks)
            out += line(xOf(b), y0, y, num(b) + " %");
        out += "<text x=\"" + num(left) + "\" y=\"" + num(y + 20) + "\">0</text><text x=\"" + num(right) + "\" y=\"" +
               num(y + 20) + "\" text-anchor=\"end\">" + num(top) + " % impervious</text>\n";
        return out + "</svg>\n";
    }
    // Bands of 5 points of pctIS: the breaks fall on band edges.
    std::vector<std::size_t> counts(20, 0);
    for (const auto& z : p.zones)
        if (z.percent)
            ++counts[static_cast<std::size_t>(std::clamp(*z.percent / 5, 0.0, 19.0))];
    const std::size_t most = std::max<std::size_t>(1, *std::max_element(counts.begin(), counts.end()));
    const double y0 = 30, y1 = 280, band = (right - left) / 20;
    out += "320\"><title id=\"chart-alt\">" + esc(summary) + "</title>\n";
    for (std::size_t b = 0; b < counts.size(); ++b) {
        const double h = (y1 - y0) * static_cast<double>(counts[b]) / static_cast<double>(most);
        out += "<rect class=\"" + classOf(static_cast<double>(b) * 5 + 2.5, p.classes) + "\" x=\"" +
               num(left + band * static_cast<double>(b)) + "\" y=\"" + num(y1 - h) + "\" width=\"" + num(band) +
               "\" height=\"" + num(h) + "\"/>\n";
    }
    for (double b : breaks)
        out += line(left + (right - left) * b / 100, y0, y1, num(b) + " %");
    for (int t = 0; t <= 100; t += 20)
        out += "<text x=\"" + num(left + (right - left) * t / 100) + "\" y=\"" + num(y1 + 20) +
               "\" text-anchor=\"middle\">" + std::to_string(t) + "</text>\n";
    out += "<text x=\"" + num(left - 8) + "\" y=\"" + num(y0 + 12) + "\" text-anchor=\"end\">" +
           plural(most, "zone", "zones") + "</text><text x=\"" + num(left - 8) + "\" y=\"" + num(y1) +
           "\" text-anchor=\"end\">0</text><text x=\"" + num(right) + "\" y=\"" + num(y1 + 40) +
           "\" text-anchor=\"end\">% impervious, in bands of 5</text>\n";
    return out + "</svg>\n";
}

constexpr const char* kGenerator = "<meta name=\"generator\" content=\"Halvo\">";

constexpr const char* kStyle = R"(<style>
:root{--k0:#ffeda0;--k1:#feb24c;--k2:#f03b20;--kn:#d9d9d9;font-family:system-ui,sans-serif;line-height:1.45;color:#111;background:#fff}
body{margin:0 auto;max-width:62rem;padding:1rem}
h1{font-size:1.6rem;margin:.2rem 0}h2{font-size:1.25rem;margin:2rem 0 .5rem}
figure{margin:0}svg{display:block;width:100%;height:auto}
#map{max-height:80vh;border:1px solid #888}
.zones path{stroke:#333;stroke-width:1.2;fill-rule:evenodd}
.many .zones path{stroke-width:.4}
.zones path.on{fill:none;stroke:#000;stroke-width:5;pointer-events:none}
.k0 path,rect.k0,.sw.k0{fill:var(--k0);background:var(--k0)}
.k1 path,rect.k1,.sw.k1{fill:var(--k1);background:var(--k1)}
.k2 path,rect.k2,.sw.k2{fill:var(--k2);background:var(--k2)}
.kn path,.sw.kn{fill:var(--kn);background:var(--kn)}
.chart rect{stroke:#333;stroke-width:.6}.chart text{font-size:13px;paint-order:stroke;stroke:#fff;stroke-width:3px}
.th{stroke:#000;stroke-width:1.5;stroke-dasharray:5 3}.scale rect{fill:#111}
.legend{list-style:none;padding:0;margin:.5rem 0;display:flex;flex-wrap:wrap;gap:.3rem 1.5rem}
.sw{display:inline-block;width:1.1em;height:1.1em;border:1px solid #333;vertical-align:-.2em;margin-right:.4em}
.note{font-size:.9rem;color:#333}
.wrap{overflow-x:auto}summary{cursor:pointer;margin:.3rem 0}
table{border-collapse:collapse;width:100%;font-variant-numeric:tabular-nums}
caption{text-align:left;padding:.3rem 0}
th,td{border-bottom:1px solid #ccc;padding:.2rem .5rem;text-align:right}
th:first-child,td:first-child{text-align:left}
tbody tr td:first-child::before{content:"";display:inline-block;width:.8em;height:.8em;border:1px solid #333;margin-right:.5em;background:var(--kn)}
tr.k0 td:first-child::before{background:var(--k0)}tr.k1 td:first-child::before{background:var(--k1)}tr.k2 td:first-child::before{background:var(--k2)}
th button{font:inherit;font-weight:bold;border:0;background:none;padding:0;color:inherit;cursor:pointer;text-decoration:underline dotted}
pre{white-space:pre-wrap;font-size:.85rem;background:#f4f4f4;padding:.5rem;overflow-wrap:anywhere}
#zone-data{tab-size:16;white-space:pre;overflow-x:auto}#pager button{font:inherit;margin-right:.5em}
#info{position:sticky;bottom:0;background:#fff;border:2px solid #333;padding:.4rem .6rem;margin:.5rem 0}
@media print{@page{margin:12mm}body{max-width:none;font-size:10pt;padding:0}#info{display:none}
#map{max-height:none}figure,pre{break-inside:avoid}thead{display:table-header-group}tr{break-inside:avoid}
*{print-color-adjust:exact;-webkit-print-color-adjust:exact}}
</style>
)";

// Sorting, paging and a zone's figures on hover or tap. The map's paths of a
// class hold that class's zones in the layer's order (by tile first on a
// large map), each starting with an "M"; the map's data-classes has a letter
// a zone and data-tiles its tile, so the n-th zone of a class is found in the
// table's rows or the text of every zone.
constexpr const char* kScript = R"(<script>
(function () {
  var table = document.getElementById('zones'), body = table.tBodies[0], heads = table.tHead.rows[0].cells;
  var map = document.getElementById('map'), zonesG = map.querySelector('.zones'), info = document.getElementById('info');
  var text = document.getElementById('zone-data'), pager = document.getElementById('pager');
  var classes = map.getAttribute('data-classes'), undrawn = {}, data = null, order = [], first = 0;
  var size = text ? 100 : Infinity, prev, next, status;
  map.getAttribute('data-undrawn').split(' ').forEach(function (i) { if (i) undrawn[i] = true; });
  for (var i = 0; i < classes.length; ++i) order.push(i);
  function cells() {
    if (!data) data = text ? text.textContent.split('\n').slice(1, classes.length + 1).map(function (l) { return l.split('\t'); })
      : Array.prototype.map.call(body.rows, function (r) {
        return Array.prototype.map.call(r.cells, function (c) { return c.textContent.trim(); });
      });
    return data;
  }
  function esc(t) { return t.replace(/&/g, '&amp;').replace(/</g, '&lt;'); }
  function render() {
    var html = '', end = Math.min(first + size, order.length);
    for (var n = first; n < end; ++n)
      html += '<tr class="k' + classes[order[n]] + '"><td>' + data[order[n]].map(esc).join('<td>');
    body.innerHTML = html;
    if (!text) return;
    status.textContent = ' Rows ' + (first + 1) + '\u2013' + end + ' of ' + order.length + ' ';
    prev.disabled = first === 0;
    next.disabled = end >= order.length;
  }
  function button(label, where, act) {
    var b = document.createElement('button');
    b.type = 'button';
    b.textContent = label;
    b.addEventListener('click', act);
    where.appendChild(b);
    return b;
  }
  if (text) {
    pager.textContent = '';
    prev = button('Previous ' + size, pager, function () { cells(); first = Math.max(0, first - size); render(); });
    status = pager.appendChild(document.createElement('span'));
    status.setAttribute('aria-live', 'polite');
    next = button('Next ' + size, pager, function () { cells(); first += size; render(); });
    status.textContent = ' Rows 1\u2013' + Math.min(size, order.length) + ' of ' + order.length + ' ';
    prev.disabled = true;
    next.disabled = order.length <= size;
  }
  var collator = new Intl.Collator(undefined, { numeric: true });
  Array.prototype.forEach.call(heads, function (th, col) {
    var numeric = th.hasAttribute('data-num'), label = th.textContent;
    th.textContent = '';
    button(label, th, function () {
      var up = th.getAttribute('aria-sort') !== 'ascending';
      Array.prototype.forEach.call(heads, function (h) { h.removeAttribute('aria-sort'); });
      th.setAttribute('aria-sort', up ? 'ascending' : 'descending');
      var keys = cells().map(function (c) { return c[col] === '' ? null : numeric ? parseFloat(c[col]) : c[col]; });
      order.sort(function (a, b) {
        var x = keys[a], y = keys[b];
        if ((x === null) !== (y === null)) return x === null ? 1 : -1;
        var c = x === null ? 0 : numeric ? x - y : collator.compare(x, y);
        return (up ? c : -c) || a - b;
      });
      first = 0;
      render();
    });
  });
  // The zones' rings on the map's grid, and a grid of buckets to find them by.
  var shapes = null, buckets = {}, cell = 50, mark = null, shown = null;
  function parse(d, list, n) {
    var t = d.match(/[MmlhvZz]|-?[0-9.]+/g) || [], cmd = '', x = 0, y = 0, sx = 0, sy = 0, ring = null, shape = null;
    for (var k = 0; k < t.length;) {
      if (isNaN(t[k])) {
        cmd = t[k++];
        if (cmd === 'z' || cmd === 'Z') { x = sx; y = sy; }
        continue;
      }
      var a = +t[k++];
      if (cmd === 'M' || cmd === 'm') {
        if (cmd === 'M') {
          shape = { i: list[n++], rings: [] };
          shapes.push(shape);
          x = a; y = +t[k++];
        } else { x += a; y += +t[k++]; }
        sx = x; sy = y;
        ring = [x, y];
        shape.rings.push(ring);
        cmd = 'l';
      } else {
        if (cmd === 'l') { x += a; y += +t[k++]; } else if (cmd === 'h') x += a; else y += a;
        ring.push(x, y);
      }
    }
    return n;
  }
  function index() {
    shapes = [];
    var members = {};
    for (var i = 0; i < classes.length; ++i)
      if (!undrawn[i]) (members[classes[i]] = members[classes[i]] || []).push(i);
    // A large map draws a class tile by tile, in the layer's order within a tile.
    var tiles = map.getAttribute('data-tiles'), digits = '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-_';
    if (tiles) {
      var tile = [];
      for (i = 0; i < tiles.length; ++i) tile.push(digits.indexOf(tiles[i]));
      for (var c in members) members[c].sort(function (a, b) { return tile[a] - tile[b] || a - b; });
    }
    Array.prototype.forEach.call(zonesG.children, function (g) {
      var list = members[g.getAttribute('class').slice(1)] || [], n = 0;
      Array.prototype.forEach.call(g.children, function (p) { n = parse(p.getAttribute('d'), list, n); });
    });
    shapes.forEach(function (s) {
      var x0 = Infinity, y0 = Infinity, x1 = -Infinity, y1 = -Infinity;
      s.rings.forEach(function (r) {
        for (var k = 0; k < r.length; k += 2) {
          x0 = Math.min(x0, r[k]); x1 = Math.max(x1, r[k]); y0 = Math.min(y0, r[k + 1]); y1 = Math.max(y1, r[k + 1]);
        }
      });
      for (var cx = Math.floor(x0 / cell); cx <= Math.floor(x1 / cell); ++cx)
        for (var cy = Math.floor(y0 / cell); cy <= Math.floor(y1 / cell); ++cy)
          (buckets[cx + ',' + cy] = buckets[cx + ',' + cy] || []).push(s);
    });
    mark = zonesG.appendChild(document.createElementNS('http://www.w3.org/2000/svg', 'path'));
    mark.setAttribute('class', 'on');
  }
  function inside(s, px, py) {
    var odd = false;
    s.rings.forEach(function (r) {
      for (var a = 0, b = r.length - 2; a < r.length; b = a, a += 2)
        if ((r[a + 1] > py) !== (r[b + 1] > py) && px < (r[b] - r[a]) * (py - r[a + 1]) / (r[b + 1] - r[a + 1]) + r[a])
          odd = !odd;
    });
    return odd;
  }
  function show(e) {
    if (!shapes) index();
    var m = zonesG.getScreenCTM();
    if (!m) return;
    var p = new DOMPoint(e.clientX, e.clientY).matrixTransform(m.inverse());
    var found = (buckets[Math.floor(p.x / cell) + ',' + Math.floor(p.y / cell)] || []).filter(function (s) {
      return inside(s, p.x, p.y);
    })[0];
    if (!found || found === shown) return;
    shown = found;
    mark.setAttribute('d', found.rings.map(function (r) { return 'M' + r.join(' ') + 'Z'; }).join(''));
    var row = cells()[found.i];
    info.textContent = Array.prototype.map.call(heads, function (h, i) {
      return h.textContent + ': ' + (row[i] || '(none)');
    }).join(' \u00b7 ');
    info.hidden = false;
  }
  map.addEventListener('pointermove', show);
  map.addEventListener('click', show);
})();
</script>
)";

}  // namespace

std::string HtmlReport(const HtmlPage& p)
{
    std::vector<std::string> classOfZone;
    std::map<std::string, std::size_t> count;
    for (const auto& z : p.zones) {
        classOfZone.push_back(classOf(z.percent, p.classes));
        ++count[classOfZone.back()];
    }
    const std::string unit = p.areaUnit == "ac" ? "acres" : "hectares";

    // The same words serve as the legend, the map's and the chart's text alternative.
    std::string classesInWords;
    for (std::size_t i = 0; i < p.classes.size(); ++i) {
        if (i > 0)
            classesInWords += ", ";
        classesInWords += p.classes[i].label;
        classesInWords += ": " + plural(count[classKey(i)], "zone", "zones");
    }
    if (count["kn"])
        classesInWords += ", without figures: " + plural(count["kn"], "zone", "zones");
    const std::string zones = plural(p.zones.size(), "zone", "zones");
    const std::string mapSummary = "Map of " + zones + " coloured by impervious share: " + classesInWords + ".";
    const std::string chartSummary =
        (p.zones.size() <= kBarsUpTo ? "Impervious share of each zone, highest first, "
                                     : "How many zones fall in each 5-point band of impervious share, ") +
        std::string("with lines at the class breaks: ") + classesInWords + ". The table holds every value.";

    std::string prmTitle, prm;
    for (std::size_t at = 0; at < p.parameters.size();) {
        std::size_t end = p.parameters.find('\n', at);
        if (end == std::string::npos)
            end = p.parameters.size();
        std::string line = p.parameters.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (prmTitle.empty() && prm.empty())
            prmTitle = line;
        else
            prm += line + "\n";
        at = end + 1;
    }

    std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n" +
                      std::string(kGenerator) +
                      "\n"
                      "<title>Impervious surface: " +
                      esc(p.layerName) + "</title>\n" + kStyle + "</head>\n<body" +
                      (p.zones.size() > 5000 ? " class=\"many\"" : "") +
                      ">\n<header><h1>Impervious surface by zone: " + esc(p.layerName) + "</h1>\n";
    if (!prmTitle.empty())
        out += "<p>" + esc(prmTitle) + "</p>\n";
    const bool everyZone = p.zones.size() <= kEveryZoneUpTo;
    const std::string zoneHeading = p.zoneField.empty() ? "Zone" : p.zoneField;
    std::vector<std::string> titles;
    if (everyZone)
        for (const auto& z : p.zones)
            titles.push_back(zoneHeading + " " + z.zone + ": pctIS " + (z.percent ? fixed(*z.percent, 2) : "none") +
                             ", total " + opt(z.total, 2) + " " + p.areaUnit + ", impervious " + opt(z.impervious, 2) +
                             " " + p.areaUnit + ", Complete " + z.complete);
    out += "</header>\n<main>\n<section aria-labelledby=\"h-map\"><h2 id=\"h-map\">Map</h2>\n<figure>\n" +
           mapSvg(p, classOfZone, titles, mapSummary) + "<figcaption><ul class=\"legend\">\n";
    for (std::size_t i = 0; i < p.classes.size(); ++i)
        out += "<li><span class=\"sw k" + std::to_string(i) + "\"></span>" + esc(p.classes[i].label) + " impervious (" +
               plural(count[classKey(i)], "zone", "zones") + ")</li>\n";
    if (count["kn"])
        out += "<li><span class=\"sw kn\"></span>no figures (" + plural(count["kn"], "zone", "zones") + ")</li>\n";
    out +=
        "</ul>\n<p class=\"note\">Colours chosen to read for colour-blind viewers; the QGIS style of the layer "
        "draws the same classes in green, yellow and red. Point at or tap a zone for its figures.</p>"
        "</figcaption>\n</figure>\n<p id=\"info\" aria-live=\"polite\" hidden></p>\n</section>\n"
        "<section aria-labelledby=\"h-chart\"><h2 id=\"h-chart\">Impervious share</h2>\n<figure>\n" +
        chartSvg(p, classOfZone, chartSummary) + "<figcaption class=\"note\">" + esc(chartSummary) +
        "</figcaption>\n</figure>\n</section>\n"
        "<section aria-labelledby=\"h-table\"><h2 id=\"h-table\">Zones</h2>\n<div class=\"wrap\"><table id=\"zones\">\n"
        "<caption>" +
        zones + "; areas in " + unit + ", pctIS in % of the zone's area. Complete is N where part of the zone " +
        "was not counted. Select a heading to sort.</caption>\n<thead><tr><th scope=\"col\">" + esc(zoneHeading) +
        "</th><th scope=\"col\" data-num>Total (" + esc(p.areaUnit) + ")</th><th scope=\"col\" data-num>Impervious (" +
        esc(p.areaUnit) +
        ")</th><th scope=\"col\" data-num>pctIS</th><th scope=\"col\">Complete</th></tr></thead>\n<tbody>\n";
    // End tags of cells and rows are left out, as HTML allows: the table stays small.
    const std::size_t rows = everyZone ? p.zones.size() : kFirstRows;
    for (std::size_t i = 0; i < rows; ++i) {
        const auto& z = p.zones[i];
        out += "<tr class=\"" + classOfZone[i] + "\"><td>" + esc(z.zone) + "<td>" + opt(z.total, 2) + "<td>" +
               opt(z.impervious, 2) + "<td>" + opt(z.percent, 2) + "<td>" + esc(z.complete) + "\n";
    }
    out += "</tbody>\n</table></div>\n";
    if (!everyZone) {
        // One text node is read quickly, and laid out only when opened; the
        // script pages and sorts the table from it.
        out += "<p id=\"pager\" class=\"note\">The first " + std::to_string(rows) + " of " + zones +
               ", in the layer's order. The text below holds every zone's figures.</p>\n<details><summary>Every "
               "zone's figures as text (" +
               plural(p.zones.size(), "line", "lines") +
               ", columns separated by tabs)</summary>\n<pre id=\"zone-data\">" + esc(zoneHeading) + "\tTotal (" +
               esc(p.areaUnit) + ")\tImpervious (" + esc(p.areaUnit) + ")\tpctIS\tComplete\n";
        auto field = [](std::string t) {
            std::replace_if(
                t.begin(), t.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
            return esc(t);
        };
        for (const auto& z : p.zones)
            out += field(z.zone) + '\t' + opt(z.total, 2) + '\t' + opt(z.impervious, 2) + '\t' + opt(z.percent, 2) +
                   '\t' + field(z.complete) + '\n';
        out += "</pre>\n</details>\n";
    }
    out += "</section>\n<section aria-labelledby=\"h-prm\"><h2 id=\"h-prm\">Parameters</h2>\n";
    out += prm.empty() && prmTitle.empty() ? "<p>The run's parameter report was not found.</p>\n"
                                           : "<pre>" + esc(prm) + "</pre>\n";
    out += "</section>\n</main>\n";
    out += kScript;
    return out + "</body>\n</html>\n";
}

bool IsHtmlReport(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string head(512, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head.find(kGenerator) != std::string::npos;
}

void WriteHtmlReport(const std::filesystem::path& path, const HtmlPage& page)
{
    const std::string text = HtmlReport(page);
    std::filesystem::path temp = path;
    temp += ".tmp-" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())).flush()) {
            const int cause = errno;
            std::error_code ec;
            std::filesystem::remove(temp, ec);
            support::raise(support::err::kFileAccess,
                           "Cannot write the page '" + path.string() + "': " + std::strerror(cause));
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::error_code rm;
        std::filesystem::remove(temp, rm);
        support::raise(support::err::kFileAccess,
                       "Cannot put the page '" + path.string() + "' in place: " + ec.message());
    }
}

}  // namespace halvo::reports
