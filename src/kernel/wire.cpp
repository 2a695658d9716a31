// The kernel's wire layer: the connection file, HMAC-SHA256 signatures, and
// the framing of a message into identities, the "<IDS|MSG>" delimiter, the
// signature, four JSON dictionaries and binary buffers. ZeroMQ errors never
// leave this file: calls interrupted by a signal are retried, others fail.
#include <sys/time.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include "kernel/kernel.h"

namespace {

const char* const DELIM = "<IDS|MSG>";

std::string hex(const unsigned char* p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  s.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    s.push_back(digits[p[i] >> 4]);
    s.push_back(digits[p[i] & 15]);
  }
  return s;
}

// Receives one frame into f; false when nothing came (interrupted or failed).
bool recvframe(zmq::socket_t& s, std::string& f, bool& more) {
  zmq::message_t m;
  try {
    if (!s.recv(m, zmq::recv_flags::none)) return false;
  } catch (const zmq::error_t&) {
    return false;
  }
  f.assign(static_cast<const char*>(m.data()), m.size());
  more = m.more();
  return true;
}

bool sendframe(zmq::socket_t& s, const std::string& f, bool more) {
  for (int tries = 0; tries < 100; ++tries) {
    try {
      s.send(zmq::buffer(f), more ? zmq::send_flags::sndmore : zmq::send_flags::none);
      return true;
    } catch (const zmq::error_t& e) {
      if (e.num() != EINTR) return false;
    }
  }
  return false;
}

}  // namespace

int kwire_readconn(const std::string& path, KConnection& c, std::string& err) {
  std::ifstream in(path);
  if (!in) {
    err = "connection file " + path + " not found";
    return 1;
  }
  json j = json::parse(in, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    err = "connection file " + path + " is not a JSON object";
    return 1;
  }
  auto port = [&](const char* name, int& v) {
    auto it = j.find(name);
    if (it == j.end() || !it->is_number_integer()) return false;
    v = it->get<int>();
    return v > 0 && v < 65536;
  };
  if (!port("shell_port", c.shell) || !port("iopub_port", c.iopub) ||
      !port("stdin_port", c.stdinp) || !port("control_port", c.control) ||
      !port("hb_port", c.hb)) {
    err = "connection file " + path + " lacks a port";
    return 1;
  }
  auto str = [&](const char* name, std::string& v) {
    auto it = j.find(name);
    if (it != j.end() && it->is_string()) v = it->get<std::string>();
  };
  str("transport", c.transport);
  str("ip", c.ip);
  str("key", c.key);
  str("signature_scheme", c.scheme);
  if (c.transport != "tcp") {
    err = "transport " + c.transport + " not supported";
    return 1;
  }
  if (!c.key.empty() && c.scheme != "hmac-sha256") {
    err = "signature scheme " + c.scheme + " not supported";
    return 1;
  }
  return 0;
}

std::string kwire_sign(const std::string& key, const std::vector<std::string>& parts) {
  if (key.empty()) return "";
  // Fetched once; the algorithm object is shared by the threads, each call
  // has its own context.
  static EVP_MAC* hmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  if (!hmac) return "";
  EVP_MAC_CTX* c = EVP_MAC_CTX_new(hmac);
  if (!c) return "";
  char digest[] = "SHA256";
  OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string("digest", digest, 0),
                         OSSL_PARAM_construct_end()};
  unsigned char mac[EVP_MAX_MD_SIZE];
  size_t n = 0;
  bool ok = EVP_MAC_init(c, reinterpret_cast<const unsigned char*>(key.data()), key.size(), params);
  for (const std::string& p : parts)
    ok = ok && EVP_MAC_update(c, reinterpret_cast<const unsigned char*>(p.data()), p.size());
  ok = ok && EVP_MAC_final(c, mac, &n, sizeof mac);
  EVP_MAC_CTX_free(c);
  return ok ? hex(mac, n) : "";
}

std::string kwire_uuid() {
  thread_local std::mt19937_64 gen{std::random_device{}()};
  unsigned char b[16];
  for (int i = 0; i < 16; i += 8) {
    uint64_t v = gen();
    for (int k = 0; k < 8; ++k) b[i + k] = static_cast<unsigned char>(v >> (8 * k));
  }
  b[6] = static_cast<unsigned char>((b[6] & 0x0f) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3f) | 0x80);
  std::string h = hex(b, 16);
  return h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" + h.substr(16, 4) +
         "-" + h.substr(20);
}

std::string kwire_now() {
  struct timeval tv;
  gettimeofday(&tv, nullptr);
  std::tm t{};
  gmtime_r(&tv.tv_sec, &t);
  char b[64];
  std::snprintf(b, sizeof b, "%04d-%02d-%02dT%02d:%02d:%02d.%06ldZ", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                static_cast<long>(tv.tv_usec));
  return b;
}

bool kwire_recv(zmq::socket_t& s, KMsg& m) {
  std::vector<std::string> frames;
  bool more = true;
  while (more) {
    std::string f;
    if (!recvframe(s, f, more)) {
      if (frames.empty()) return false;
      break;
    }
    frames.push_back(std::move(f));
  }
  size_t d = 0;
  while (d < frames.size() && frames[d] != DELIM) ++d;
  if (d + 6 > frames.size()) return false;
  m = KMsg{};
  m.ids.assign(frames.begin(), frames.begin() + static_cast<long>(d));
  const std::string& sig = frames[d + 1];
  std::vector<std::string> parts(frames.begin() + static_cast<long>(d) + 2,
                                 frames.begin() + static_cast<long>(d) + 6);
  std::string want = kwire_sign(ks.conn.key, parts);
  if (want.size() != sig.size() || CRYPTO_memcmp(want.data(), sig.data(), sig.size()) != 0)
    return false;
  json* dst[4] = {&m.header, &m.parent, &m.metadata, &m.content};
  for (int i = 0; i < 4; ++i) {
    *dst[i] = json::parse(parts[static_cast<size_t>(i)], nullptr, false);
    if (dst[i]->is_discarded() || !dst[i]->is_object()) return false;
  }
  if (!m.header.contains("msg_type") || !m.header["msg_type"].is_string()) return false;
  m.buffers.assign(frames.begin() + static_cast<long>(d) + 6, frames.end());
  return true;
}

bool kjbool(const json& j, const char* key, bool def) {
  auto it = j.find(key);
  return it != j.end() && it->is_boolean() ? it->get<bool>() : def;
}

long kjint(const json& j, const char* key, long def) {
  auto it = j.find(key);
  return it != j.end() && it->is_number_integer() ? it->get<long>() : def;
}

std::string kjstr(const json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : "";
}

KMsg kwire_make(const std::string& type, const KMsg* parent, json content) {
  KMsg m;
  m.header = {{"msg_id", kwire_uuid()}, {"session", ks.session}, {"username", "kernel"},
              {"date", kwire_now()},    {"msg_type", type},      {"version", "5.3"}};
  m.parent = parent ? parent->header : json::object();
  m.metadata = json::object();
  m.content = std::move(content);
  if (parent) m.ids = parent->ids;
  return m;
}

bool kwire_send(zmq::socket_t& s, const KMsg& m) {
  // Text the interpreter printed need not be UTF-8: bad bytes are replaced.
  auto dump = [](const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); };
  std::vector<std::string> parts = {dump(m.header), dump(m.parent), dump(m.metadata), dump(m.content)};
  std::string sig = kwire_sign(ks.conn.key, parts);
  for (const std::string& id : m.ids)
    if (!sendframe(s, id, true)) return false;
  if (!sendframe(s, DELIM, true) || !sendframe(s, sig, true)) return false;
  for (size_t i = 0; i < parts.size(); ++i)
    if (!sendframe(s, parts[i], i + 1 < parts.size() || !m.buffers.empty())) return false;
  for (size_t i = 0; i < m.buffers.size(); ++i)
    if (!sendframe(s, m.buffers[i], i + 1 < m.buffers.size())) return false;
  return true;
}

void kwire_publish(const KMsg& m) {
  KMsg b = m;
  b.ids = {"kernel." + ks.session.substr(0, 8) + "." + m.header["msg_type"].get<std::string>()};
  std::lock_guard<std::mutex> g(ks.iopublock);
  if (ks.iopub) kwire_send(*ks.iopub, b);
}

void kwire_status(const char* state, const KMsg* parent) {
  kwire_publish(kwire_make("status", parent, {{"execution_state", state}}));
}
