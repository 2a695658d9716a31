// TrueType fonts for embedding in PDF (see ttfont.h). Every read checks the
// offsets against the file's size first: a damaged font file is refused,
// never read past its end. The system's fonts are looked for in the usual
// folders and matched by the family name of their naming table.
#include "graphics/ttfont.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

uint32_t g16(const std::string& d, size_t at) {
  return at + 2 <= d.size() ? static_cast<uint32_t>(static_cast<unsigned char>(d[at]) << 8 | static_cast<unsigned char>(d[at + 1])) : 0;
}
uint32_t g32(const std::string& d, size_t at) { return g16(d, at) << 16 | g16(d, at + 2); }
int s16(const std::string& d, size_t at) { return static_cast<int16_t>(static_cast<uint16_t>(g16(d, at))); }
void p16(std::string& d, uint32_t v) {
  d.push_back(static_cast<char>(v >> 8 & 255));
  d.push_back(static_cast<char>(v & 255));
}
void p32(std::string& d, uint32_t v) { p16(d, v >> 16), p16(d, v & 0xffff); }
void set32(std::string& d, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + static_cast<size_t>(i)] = static_cast<char>(v >> (24 - 8 * i) & 255);
}

bool readfile(const std::string& path, std::string& out, size_t maxbytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  char buf[65536];
  size_t k;
  while ((k = std::fread(buf, 1, sizeof buf, f)) > 0 && out.size() <= maxbytes) out.append(buf, k);
  std::fclose(f);
  return out.size() <= maxbytes;
}

// The table directory of a font file: false when malformed.
bool directory(const std::string& d, std::map<std::string, std::pair<uint32_t, uint32_t>>& t) {
  if (d.size() < 12) return false;
  const uint32_t ver = g32(d, 0);
  if (ver != 0x00010000 && ver != 0x74727565) return false;  // TrueType outlines only
  const uint32_t n = g16(d, 4);
  if (12 + 16 * static_cast<size_t>(n) > d.size()) return false;
  for (uint32_t i = 0; i < n; ++i) {
    const size_t e = 12 + 16 * static_cast<size_t>(i);
    const uint32_t off = g32(d, e + 8), len = g32(d, e + 12);
    if (static_cast<uint64_t>(off) + len > d.size()) return false;
    t[d.substr(e, 4)] = {off, len};
  }
  return true;
}

// A name of the naming table (id 1 family, 2 style, 6 PostScript), from its
// Windows Unicode or Macintosh Roman record.
std::string nameof(const std::string& d, uint32_t off, uint32_t len, int id) {
  if (len < 6) return "";
  const uint32_t n = g16(d, off + 2), strs = off + g16(d, off + 4);
  for (uint32_t i = 0; i < n && 6 + 12 * (i + 1) <= len; ++i) {
    const size_t r = off + 6 + 12 * static_cast<size_t>(i);
    const uint32_t plat = g16(d, r), enc = g16(d, r + 2), nid = g16(d, r + 6);
    const uint32_t l = g16(d, r + 8), o = g16(d, r + 10);
    if (static_cast<int>(nid) != id || strs + o + l > d.size()) continue;
    std::string s;
    if (plat == 3 && (enc == 1 || enc == 0)) {
      for (uint32_t k = 0; k + 1 < l; k += 2) {
        const uint32_t c = g16(d, strs + o + k);
        s.push_back(c < 128 ? static_cast<char>(c) : '?');
      }
      return s;
    }
    if (plat == 1 && enc == 0) return d.substr(strs + o, l);
  }
  return "";
}

void fontfiles(const std::string& dir, int depth, std::vector<std::string>& out) {
  if (depth > 6 || out.size() > 20000) return;
  DIR* dp = opendir(dir.c_str());
  if (!dp) return;
  while (dirent* de = readdir(dp)) {
    const std::string n = de->d_name;
    if (n == "." || n == "..") continue;
    const std::string p = dir + "/" + n;
    struct stat st;
    if (stat(p.c_str(), &st)) continue;
    if (S_ISDIR(st.st_mode)) {
      fontfiles(p, depth + 1, out);
    } else if (n.size() > 4) {
      std::string ext = n.substr(n.size() - 4);
      for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (ext == ".ttf") out.push_back(p);
    }
  }
  closedir(dp);
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string tt_findfamily(const std::string& family) {
  static std::map<std::string, std::string> found;  // family -> file, searched once
  const std::string want = lower(family);
  if (auto it = found.find(want); it != found.end()) return it->second;
  std::vector<std::string> files;
  if (const char* home = std::getenv("HOME")) {
    fontfiles(std::string(home) + "/.local/share/fonts", 0, files);
    fontfiles(std::string(home) + "/.fonts", 0, files);
  }
  fontfiles("/usr/local/share/fonts", 0, files);
  fontfiles("/usr/share/fonts", 0, files);
  std::sort(files.begin(), files.end());
  std::string any, regular;
  for (const std::string& p : files) {
    std::string d;
    std::map<std::string, std::pair<uint32_t, uint32_t>> t;
    if (!readfile(p, d, 64u << 20) || !directory(d, t) || !t.count("name")) continue;
    const auto [off, len] = t["name"];
    if (lower(nameof(d, off, len, 1)) != want) continue;
    const std::string style = lower(nameof(d, off, len, 2));
    if (any.empty()) any = p;
    if (style == "regular" || style == "book" || style == "normal" || style == "roman") {
      regular = p;
      break;
    }
  }
  return found[want] = regular.empty() ? any : regular;
}

bool tt_load(const std::string& path, TtFont& f) {
  f = TtFont();
  if (!readfile(path, f.data, 64u << 20) || !directory(f.data, f.tables)) return false;
  const std::string& d = f.data;
  for (const char* need : {"head", "hhea", "hmtx", "maxp", "cmap", "loca", "glyf"})
    if (!f.tables.count(need)) return false;
  const auto [head, headlen] = f.tables["head"];
  const auto [hhea, hhealen] = f.tables["hhea"];
  const auto [maxp, maxplen] = f.tables["maxp"];
  if (headlen < 54 || hhealen < 36 || maxplen < 6) return false;
  f.upem = static_cast<int>(g16(d, head + 18));
  if (f.upem < 16 || f.upem > 16384) return false;
  for (int i = 0; i < 4; ++i) f.bbox[i] = s16(d, head + 36 + 2 * static_cast<size_t>(i));
  f.longloca = s16(d, head + 50) == 1;
  f.ascent = s16(d, hhea + 4), f.descent = s16(d, hhea + 6);
  f.capheight = f.ascent;
  if (f.tables.count("OS/2")) {
    const auto [os2, os2len] = f.tables["OS/2"];
    if (os2len >= 90 && g16(d, os2) >= 2) f.capheight = s16(d, os2 + 88);
  }
  f.nglyphs = static_cast<int>(g16(d, maxp + 4));
  const uint32_t nmetrics = g16(d, hhea + 34);
  const auto [hmtx, hmtxlen] = f.tables["hmtx"];
  if (nmetrics == 0 || 4 * static_cast<uint64_t>(nmetrics) > hmtxlen) return false;
  for (uint32_t i = 0; i < nmetrics; ++i) f.adv.push_back(static_cast<uint16_t>(g16(d, hmtx + 4 * i)));
  const auto [loca, localen] = f.tables["loca"];
  if (static_cast<uint64_t>(f.nglyphs + 1) * (f.longloca ? 4 : 2) > localen) return false;
  (void)loca;
  // the character map: format 4 of the Windows Unicode subtable
  const auto [cmap, cmaplen] = f.tables["cmap"];
  const uint32_t nsub = g16(d, cmap + 2);
  for (uint32_t i = 0; i < nsub && 4 + 8 * (i + 1) <= cmaplen; ++i) {
    const size_t r = cmap + 4 + 8 * static_cast<size_t>(i);
    const uint32_t sub = cmap + g32(d, r + 4);
    if (g16(d, r) != 3 || g16(d, r + 2) != 1 || g16(d, sub) != 4) continue;
    const uint32_t seg = g16(d, sub + 6) / 2;
    const size_t ends = sub + 14, starts = ends + 2 * seg + 2, deltas = starts + 2 * seg, roffs = deltas + 2 * seg;
    if (roffs + 2 * seg > d.size()) return false;
    for (uint32_t k = 0; k < seg; ++k) {
      const uint32_t e = g16(d, ends + 2 * k), s = g16(d, starts + 2 * k);
      const uint32_t delta = g16(d, deltas + 2 * k), ro = g16(d, roffs + 2 * k);
      for (uint32_t c = s; c <= e && c != 0xFFFF; ++c) {
        uint32_t g;
        if (!ro) {
          g = (c + delta) & 0xFFFF;
        } else {
          const size_t at = roffs + 2 * k + ro + 2 * (c - s);
          if (at + 2 > d.size()) return false;
          g = g16(d, at);
          if (g) g = (g + delta) & 0xFFFF;
        }
        if (g && static_cast<int>(g) < f.nglyphs) f.cmap[c] = static_cast<uint16_t>(g);
      }
    }
    break;
  }
  if (f.cmap.empty()) return false;
  if (f.tables.count("name")) {
    const auto [off, len] = f.tables["name"];
    f.psname = nameof(d, off, len, 6);
  }
  std::string clean;
  for (char c : f.psname)
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '-') clean.push_back(c);
  f.psname = clean.empty() ? "Embedded" : clean;
  return true;
}

double tt_width1000(const TtFont& f, uint32_t cp) {
  auto it = f.cmap.find(cp);
  const uint16_t g = it == f.cmap.end() ? 0 : it->second;
  if (f.adv.empty()) return 0;
  const uint16_t a = f.adv[std::min<size_t>(g, f.adv.size() - 1)];
  return a * 1000.0 / f.upem;
}

std::string tt_subset(const TtFont& f, const std::vector<uint32_t>& cps) {
  const std::string& d = f.data;
  const uint32_t loca = f.tables.at("loca").first, glyf = f.tables.at("glyf").first;
  const uint32_t glyflen = f.tables.at("glyf").second;
  auto gstart = [&](uint32_t g) -> uint32_t { return f.longloca ? g32(d, loca + 4 * g) : 2 * g16(d, loca + 2 * g); };
  // the glyphs kept: .notdef, those of the characters, the parts of composites
  std::set<uint32_t> keep = {0};
  std::vector<uint32_t> todo;
  for (uint32_t cp : cps)
    if (auto it = f.cmap.find(cp); it != f.cmap.end()) todo.push_back(it->second);
  // the component references of a composite glyph: offsets of their indices
  auto components = [&](uint32_t g, std::vector<std::pair<size_t, uint32_t>>* refs) {
    const uint32_t a = gstart(g), b = gstart(g + 1);
    if (b <= a || b > glyflen || b - a < 10 || s16(d, glyf + a) >= 0) return;
    size_t p = glyf + a + 10;
    for (int guard = 0; guard < 64 && p + 4 <= glyf + b; ++guard) {
      const uint32_t flags = g16(d, p);
      refs->push_back({p + 2 - (glyf + a), g16(d, p + 2)});
      p += 4 + ((flags & 1) ? 4 : 2);
      p += (flags & 8) ? 2 : (flags & 0x40) ? 4 : (flags & 0x80) ? 8 : 0;
      if (!(flags & 0x20)) break;
    }
  };
  while (!todo.empty()) {
    const uint32_t g = todo.back();
    todo.pop_back();
    if (static_cast<int>(g) >= f.nglyphs || !keep.insert(g).second) continue;
    std::vector<std::pair<size_t, uint32_t>> refs;
    components(g, &refs);
    for (const auto& r : refs) todo.push_back(r.second);
  }
  std::map<uint32_t, uint32_t> newid;
  for (uint32_t g : keep) newid.emplace(g, static_cast<uint32_t>(newid.size()));
  const uint32_t n = static_cast<uint32_t>(newid.size());
  // glyf and (long) loca in the new order, component indices renumbered
  std::string nglyf, nloca, nhmtx;
  const uint32_t nmetrics = static_cast<uint32_t>(f.adv.size());
  const uint32_t hmtx = f.tables.at("hmtx").first, hmtxlen = f.tables.at("hmtx").second;
  for (const auto& [g, id] : newid) {
    p32(nloca, static_cast<uint32_t>(nglyf.size()));
    const uint32_t a = gstart(g), b = gstart(g + 1);
    if (b > a && b <= glyflen) {
      std::string one = d.substr(glyf + a, b - a);
      std::vector<std::pair<size_t, uint32_t>> refs;
      components(g, &refs);
      for (const auto& [at, old] : refs) {
        const uint32_t nid = newid.count(old) ? newid[old] : 0;
        one[at] = static_cast<char>(nid >> 8 & 255), one[at + 1] = static_cast<char>(nid & 255);
      }
      nglyf += one;
    }
    while (nglyf.size() % 4) nglyf.push_back(0);
    const uint32_t adv = f.adv[std::min(g, nmetrics - 1)];
    const size_t lsbat = g < nmetrics ? hmtx + 4 * static_cast<size_t>(g) + 2 : hmtx + 4 * static_cast<size_t>(nmetrics) + 2 * static_cast<size_t>(g - nmetrics);
    p16(nhmtx, adv), p16(nhmtx, lsbat + 2 <= hmtx + static_cast<size_t>(hmtxlen) ? g16(d, lsbat) : 0);
  }
  p32(nloca, static_cast<uint32_t>(nglyf.size()));
  // a character map of the characters kept: one segment each, then the end
  std::vector<std::pair<uint32_t, uint32_t>> segs;
  for (uint32_t cp : std::set<uint32_t>(cps.begin(), cps.end()))
    if (auto it = f.cmap.find(cp); it != f.cmap.end() && cp < 0xFFFF && newid.count(it->second))
      segs.push_back({cp, newid[it->second]});
  segs.push_back({0xFFFF, 0});
  const uint32_t sc = static_cast<uint32_t>(segs.size());
  uint32_t sr = 1, es = 0;
  while (sr * 2 <= sc) sr *= 2, ++es;
  std::string sub;
  p16(sub, 4), p16(sub, 16 + 8 * sc), p16(sub, 0), p16(sub, 2 * sc), p16(sub, 2 * sr), p16(sub, es), p16(sub, 2 * sc - 2 * sr);
  for (const auto& sg : segs) p16(sub, sg.first);
  p16(sub, 0);
  for (const auto& sg : segs) p16(sub, sg.first);
  for (const auto& sg : segs) p16(sub, sg.first == 0xFFFF ? 1 : (sg.second - sg.first) & 0xFFFF);
  for (size_t i = 0; i < segs.size(); ++i) p16(sub, 0);
  std::string ncmap;
  p16(ncmap, 0), p16(ncmap, 1), p16(ncmap, 3), p16(ncmap, 1), p32(ncmap, 12);
  ncmap += sub;
  std::map<std::string, std::string> out;
  for (const char* tag : {"head", "hhea", "maxp", "cvt ", "fpgm", "prep", "OS/2"}) {
    auto it = f.tables.find(tag);
    if (it != f.tables.end()) out[tag] = d.substr(it->second.first, it->second.second);
  }
  out["glyf"] = nglyf;
  out["loca"] = nloca;
  out["hmtx"] = nhmtx;
  out["cmap"] = ncmap;
  std::string& head = out["head"];
  set32(head, 8, 0);          // checksum adjustment, set below
  head[50] = 0, head[51] = 1;  // long offsets
  std::string& hhea = out["hhea"];
  hhea[34] = static_cast<char>(n >> 8), hhea[35] = static_cast<char>(n & 255);
  std::string& maxp = out["maxp"];
  maxp[4] = static_cast<char>(n >> 8), maxp[5] = static_cast<char>(n & 255);
  // the file: directory (tags in order), then the tables, each 4-aligned
  const uint16_t nt = static_cast<uint16_t>(out.size());
  uint16_t e2 = 0;
  while ((2u << e2) <= nt) ++e2;
  std::string file;
  p32(file, 0x00010000), p16(file, nt), p16(file, static_cast<uint32_t>(16u << e2));
  p16(file, e2), p16(file, static_cast<uint32_t>(nt * 16 - (16u << e2)));
  auto sum = [](const std::string& t) {
    uint32_t s = 0;
    for (size_t i = 0; i < t.size(); i += 4) {
      uint32_t w = 0;
      for (size_t k = 0; k < 4; ++k) w = w << 8 | (i + k < t.size() ? static_cast<unsigned char>(t[i + k]) : 0);
      s += w;
    }
    return s;
  };
  uint32_t off = 12 + 16 * static_cast<uint32_t>(nt);
  std::string body;
  size_t headat = 0;
  for (const auto& [tag, t] : out) {
    file += tag;
    p32(file, sum(t)), p32(file, off + static_cast<uint32_t>(body.size())), p32(file, static_cast<uint32_t>(t.size()));
    if (tag == "head") headat = off + body.size();
    body += t;
    while (body.size() % 4) body.push_back(0);
  }
  file += body;
  set32(file, headat + 8, 0xB1B0AFBAu - sum(file));
  return file;
}
