// Feeds arbitrary bytes to xlsimport. The first byte chooses how: odd, the
// bytes are the whole file (the zip layer); even, they are the parts of a
// workbook that the target packs into a valid archive itself, separated by
// NUL bytes: the sheet, the shared strings, the styles and the workbook
// (a fixed workbook when absent), so that the XML handling is reached at
// once. What was read is written back with xlsexport and read again. Every
// input must end in a return code: no crash, hang or overread.
#include <zip.h>

#include <string>
#include <vector>

#include "cmd_fuzz.h"
#include "files/xlsx.h"

namespace {

const char WORKBOOK[] =
    "<workbook xmlns:r=\"r\"><workbookPr date1904=\"0\"/><sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>"
    "</sheets></workbook>";
const char RELS[] = "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>";

// Adds one part to the archive. The bytes stay in `keep` until the archive is
// closed (libzip reads them then), so libzip never owns a buffer: a zero-length
// part handed over with ownership was never freed.
void addpart(zip_t* z, const char* name, const std::string& bytes, std::vector<std::string>& keep) {
  keep.push_back(bytes);
  const std::string& kept = keep.back();
  zip_source_t* s = zip_source_buffer(z, kept.data(), kept.size(), 0);
  if (s && zip_file_add(z, name, s, ZIP_FL_OVERWRITE) < 0) zip_source_free(s);
}

// Packs the NUL-separated parts of the input into a workbook at path.
bool pack(const std::string& path, const uint8_t* data, size_t size) {
  std::string parts[4];
  size_t k = 0;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0 && k < 3) ++k;
    else parts[k].push_back(static_cast<char>(data[i]));
  }
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!z) return false;
  std::vector<std::string> keep;
  keep.reserve(5);  // no reallocation: libzip holds pointers into these strings
  addpart(z, "xl/workbook.xml", k >= 3 ? parts[3] : WORKBOOK, keep);
  addpart(z, "xl/_rels/workbook.xml.rels", RELS, keep);
  addpart(z, "xl/worksheets/sheet1.xml", parts[0], keep);
  if (k >= 1) addpart(z, "xl/sharedStrings.xml", parts[1], keep);
  if (k >= 2) addpart(z, "xl/styles.xml", parts[2], keep);
  if (zip_close(z) == 0) return true;
  zip_discard(z);
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path, out;
  if (path.empty()) {
    path = cmdfuzz::scratch(".xlsx");
    out = path + ".out.xlsx";
    cmdfuzz::start();
    xlsxlim.maxentry = 1 << 20;  // a few kilobytes may inflate to gigabytes
    xlsxlim.maxcells = 100000;
  }
  if (size == 0) return 0;
  const bool ok = data[0] & 1 ? cmdfuzz::put(path, data + 1, size - 1) : pack(path, data + 1, size - 1);
  if (!ok) return 0;
  cmdfuzz::begin(200);
  const std::string q = "\"" + path + "\"", o = "\"" + out + "\"";
  (void)execline("xlsimport using " + q + ", clear");
  (void)execline("xlsexport using " + o + ", replace firstrow(variables)");
  (void)execline("xlsimport using " + o + ", clear firstrow");
  (void)execline("xlsimport using " + q + ", clear firstrow allstring cellrange(B2:D20)");
  (void)execline("xlsimport using " + q + ", clear sheet(\"S\") cellrange(A3)");
  cmdfuzz::finish();
  return 0;
}
