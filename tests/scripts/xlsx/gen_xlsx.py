#!/usr/bin/python3
"""Makes the workbooks that the xlsx script test reads, with openpyxl, and
writes beside each what openpyxl itself reads back from it (dates as days
since 01jan1960, formulas as the values saved with them, empty and merged
cells empty), so the test can compare xlsimport with an independent reader.

Usage: gen_xlsx.py FOLDER [ZELTA]   (with ZELTA, the workbook that
xlsexport writes from x_export.do is read by openpyxl too.)"""
import csv, datetime, os, re, subprocess, sys, zipfile

import openpyxl

out = sys.argv[1]
E1960 = datetime.datetime(1960, 1, 1)


def days(v):
    return (v - E1960).total_seconds() / 86400.0


def dump(path, sheet, csvpath, first_row=1):
    """openpyxl's view of a sheet, values only, as CSV (an empty cell empty)."""
    wb = openpyxl.load_workbook(path, data_only=True)
    ws = wb[sheet] if sheet else wb.worksheets[0]
    with open(csvpath, "w", newline="") as f:
        w = csv.writer(f)
        for row in ws.iter_rows(min_row=first_row, values_only=True):
            cells = []
            for v in row:
                if v is None:
                    cells.append("")
                elif isinstance(v, bool):
                    cells.append(int(v))
                elif isinstance(v, datetime.datetime):
                    cells.append(repr(days(v)))
                elif isinstance(v, datetime.date):
                    cells.append(repr(days(datetime.datetime(v.year, v.month, v.day))))
                elif isinstance(v, float):
                    cells.append(repr(v))
                else:
                    cells.append(v)
            w.writerow(cells)


def cache_formulas(path, values):
    """openpyxl saves formulas without their results: put the results in, as
    a spreadsheet program saves them (values: cell reference -> text)."""
    tmp = path + ".tmp"
    with zipfile.ZipFile(path) as zin, zipfile.ZipFile(tmp, "w", zipfile.ZIP_DEFLATED) as zout:
        for item in zin.infolist():
            data = zin.read(item.filename)
            if item.filename.startswith("xl/worksheets/sheet"):
                text = data.decode()
                for ref, val in values.items():
                    text, n = re.subn(r'(<c r="%s"[^>]*>)(<f>[^<]*</f>)(<v\s*/>|<v></v>)?' % ref,
                                      lambda m: m.group(1) + m.group(2) + "<v>%s</v>" % val, text)
                data = text.encode()
            zout.writestr(item, data)
    os.replace(tmp, path)


# x_types.xlsx: a header row, then whole numbers, decimals, text, dates,
# date-times, a numeric column with one text cell, booleans, gaps, formulas
# and a merged block; a second sheet.
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "Mixed"
ws.append(["id", "amount", "city name", "born", "stamp", "code", "ok", "gap", "twice", "merged"])
rows = [
    [1, 0.5, "Aster", datetime.date(1960, 1, 1), datetime.datetime(2000, 1, 1, 6, 0), 10, True, None, None, "m1"],
    [2, 26.88, "Brill", datetime.date(2024, 2, 29), datetime.datetime(1999, 12, 31, 23, 59, 59), "n/a", False, 3, None, None],
    [300, -1.25, "", datetime.date(1900, 3, 1), datetime.datetime(1970, 6, 15, 12, 0), 12, None, None, None, None],
    [-40000, 1e10, "Ceda, \"quoted\"", None, None, 13, True, 4.5, None, "m4"],
]
for r in rows:
    ws.append(r)
for i in range(2, 6):
    ws.cell(row=i, column=9).value = "=A%d*2" % i
ws.merge_cells("J2:J3")
ws2 = wb.create_sheet("Other")
ws2.append(["only", "sheet two"])
ws2.append([7, "x"])
p = os.path.join(out, "x_types.xlsx")
wb.save(p)
cache_formulas(p, {"I%d" % i: rows[i - 2][0] * 2 for i in range(2, 6)})
dump(p, "Mixed", os.path.join(out, "x_types_peer.csv"))


def shared_strings(src, dst):
    """The same workbook with its texts in a shared-strings part, as most
    spreadsheet programs save them (openpyxl writes them inline)."""
    strs = []

    def put(m):
        t = m.group(2)
        if t not in strs:
            strs.append(t)
        return '%s t="s"><v>%d</v></c>' % (m.group(1), strs.index(t))

    with zipfile.ZipFile(src) as zin, zipfile.ZipFile(dst, "w", zipfile.ZIP_DEFLATED) as zout:
        for item in zin.infolist():
            data = zin.read(item.filename).decode()
            if item.filename.startswith("xl/worksheets/sheet"):
                data = re.sub(r'(<c r="[A-Z]+[0-9]+"(?: s="[0-9]+")?) t="inlineStr"><is><t>([^<]*)</t></is></c>', put, data)
            elif item.filename == "[Content_Types].xml":
                data = data.replace("</Types>", '<Override PartName="/xl/sharedStrings.xml" ContentType='
                                    '"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>')
            elif item.filename == "xl/_rels/workbook.xml.rels":
                data = data.replace("</Relationships>", '<Relationship Id="rIdSS" Type="http://schemas.openxmlformats.org/'
                                    'officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/></Relationships>')
            zout.writestr(item, data)
        sst = "".join("<si><t>%s</t></si>" % t for t in strs)
        zout.writestr("xl/sharedStrings.xml", '<?xml version="1.0" encoding="UTF-8"?><sst xmlns="http://schemas.'
                      'openxmlformats.org/spreadsheetml/2006/main" count="%d" uniqueCount="%d">%s</sst>' % (len(strs), len(strs), sst))


shared_strings(p, os.path.join(out, "x_shared.xlsx"))
dump(os.path.join(out, "x_shared.xlsx"), "Mixed", os.path.join(out, "x_shared_peer.csv"))

# The workbook xlsexport writes (x_export.do), as openpyxl reads it.
if len(sys.argv) > 2:
    zelta = os.path.abspath(sys.argv[2])
    subprocess.run([zelta, "-q", "-b", "do", "x_export.do"], cwd=out, check=True)
    dump(os.path.join(out, "x_export.xlsx"), None, os.path.join(out, "x_export_peer.csv"))
    os.remove(os.path.join(out, "x_export.xlsx"))
    os.remove(os.path.join(out, "x_export.log"))
