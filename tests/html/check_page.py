"""Compares the page's map and table, as the browser built them, with the output's .dbf."""
import sys
from html.parser import HTMLParser

from osgeo import ogr


class Page(HTMLParser):
    def __init__(self):
        super().__init__()
        self.paths = 0
        self.rows = []
        self.buttons = 0
        self.in_body = False
        self.cell = None
        self.heading = None

    def handle_starttag(self, tag, attrs):
        if tag == "h1":
            self.heading = ""
        elif tag == "path":
            self.paths += 1
        elif tag == "button":
            self.buttons += 1
        elif tag == "tbody":
            self.in_body = True
        elif tag == "tr" and self.in_body:
            self.rows.append([])
        elif tag == "td" and self.in_body:
            self.rows[-1].append("")
            self.cell = self.rows[-1]

    def handle_endtag(self, tag):
        if tag == "tbody":
            self.in_body = False

    def handle_data(self, data):
        if self.heading == "":
            self.heading = data
        if self.cell is not None and self.in_body:
            self.cell[-1] += data.strip()


dbf, dom = sys.argv[1], sys.argv[2]
page = Page()
page.feed(open(dom, encoding="utf-8").read())
dataset = ogr.Open(dbf)  # kept: its layer dies with it
layer = dataset.GetLayer(0)
expected = []
for f in layer:
    def text(name):
        return "" if not f.IsFieldSetAndNotNull(name) else "%.2f" % f.GetField(name)
    expected.append([str(f.GetField("FEATUREID")), text("TotHects"), text("TotISHec"), text("pctIS"),
                     f.GetField("Complete") or ""])
faults = []
if page.paths != len(expected):
    faults.append("%d zones drawn, %d in the .dbf" % (page.paths, len(expected)))
if page.rows != expected:
    faults.append("table rows differ from the .dbf:\n%s\n%s" % (page.rows[:3], expected[:3]))
if page.heading != "Impervious surface by zone: Third Fork <catchments>":
    faults.append("the heading reads %r" % page.heading)
if len(sys.argv) > 3 and page.buttons != 5:
    faults.append("the script did not make the headings sort buttons (%d buttons)" % page.buttons)
for fault in faults:
    print("FAIL: " + fault, file=sys.stderr)
sys.exit(1 if faults else 0)
