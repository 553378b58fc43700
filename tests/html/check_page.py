"""Compares the page's map and table, as the browser built them, with the output's .dbf.
   check_page.py DBF PAGE LAYER [scripted]"""
import sys
from html.parser import HTMLParser

from osgeo import ogr


class Page(HTMLParser):
    def __init__(self):
        super().__init__()
        self.zones = 0  # each zone's shape starts with the path's one absolute "M"
        self.rows = []
        self.text = None  # the text of every zone, on a large page
        self.in_text = False
        self.buttons = 0
        self.in_body = False
        self.cell = None
        self.heading = None

    def handle_starttag(self, tag, attrs):
        if tag == "h1":
            self.heading = ""
        elif tag == "path":
            self.zones += dict(attrs).get("d", "").count("M")
        elif tag == "button":
            self.buttons += 1
        elif tag == "pre" and ("id", "zone-data") in attrs:
            self.text, self.in_text = "", True
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
        elif tag == "pre":
            self.in_text = False

    def handle_data(self, data):
        if self.heading == "":
            self.heading = data
        if self.in_text:
            self.text += data
        if self.cell is not None and self.in_body:
            self.cell[-1] += data.strip()


dbf, dom, layer_name = sys.argv[1:4]
scripted = len(sys.argv) > 4
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
if page.zones != len(expected):
    faults.append("%d zones drawn, %d in the .dbf" % (page.zones, len(expected)))
if page.text is None:
    every = page.rows
else:
    every = [line.split("\t") for line in page.text.rstrip("\n").split("\n")[1:]]
    if page.rows != expected[:len(page.rows)] or len(page.rows) != 100:
        faults.append("the table's first rows differ from the .dbf:\n%s\n%s" % (page.rows[:3], expected[:3]))
if every != expected:
    faults.append("the zones' figures differ from the .dbf:\n%s\n%s" % (every[:3], expected[:3]))
if page.heading != "Impervious surface by zone: " + layer_name:
    faults.append("the heading reads %r" % page.heading)
buttons = 5 + (2 if page.text is not None else 0)
if scripted and page.buttons != buttons:
    faults.append("the script made %d buttons, not %d (sort and page)" % (page.buttons, buttons))
for fault in faults:
    print("FAIL: " + fault, file=sys.stderr)
sys.exit(1 if faults else 0)
